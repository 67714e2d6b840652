#pragma once
// State that the watch cycle keeps for the program's whole run and that the
// alert report reads.

#include <cstdint>
#include <string>
#include <vector>

namespace corvasse {

struct WatchState {
    // Completed ticks; never reset.
    int32_t WatchCount = 0;
    // Length in bytes of the body the current tick's fetch returned; 0 at
    // the start of every tick. The body itself is checked as it arrives and
    // never kept.
    int64_t FetchedBodyLength = 0;
    // "y" when the latest content check found the look-for text.
    std::string FoundFlag;
    // With "ipFamily=each": a line for each family the current tick's watch
    // failed over (FamilyFailureText), for the alert report; emptied at
    // every tick.
    std::vector<std::string> FamilyFailures;
    // With "offlineAware=y": why the current tick's watch was not counted
    // (OfflineReason); empty when it was, and emptied at every tick. With
    // "ipFamily=each" a family that failed while the other was not reached
    // leaves both this and FamilyFailures.
    std::string OfflineReason;
    // The host and family whose missing address the pane told of last, so
    // that it says so once.
    std::string SkippedFamilyNoted;
};

}  // namespace corvasse

#pragma once
// State that the watch cycle keeps for the program's whole run and that the
// alert report reads.

#include <cstdint>
#include <string>
#include <vector>

#include "app/said_once.h"

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
    // failed over (FamilyFailureText), for a web watch's alert report;
    // emptied at every tick.
    std::vector<std::string> FamilyFailures;
    // With "offlineAware=y": why the current tick's watch was not counted
    // (OfflineReason; with "ipFamily=each", when neither family was);
    // empty when it was, and emptied at every tick.
    std::string OfflineReason;
    // The current tick's watch went over each family separately: its
    // failures that count are in FamilyFailures, and a failed fetch or ping
    // that is not among them was not counted.
    bool WatchedEachFamily = false;
    // The host and family whose missing address the pane told of last, so
    // that it says so once.
    SaidOnce SkippedFamilyNoted;
};

}  // namespace corvasse

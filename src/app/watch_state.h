#pragma once
// State that the watch cycle keeps for the program's whole run and that the
// alert report reads.

#include <cstdint>
#include <string>

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
};

}  // namespace corvasse

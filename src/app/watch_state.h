#pragma once
// State that the watch cycle keeps for the program's whole run and that the
// alert report reads.

#include <cstdint>
#include <string>

namespace corvasse {

struct WatchState {
    // Completed ticks; never reset.
    int32_t WatchCount = 0;
    // Body returned by the current tick's fetch; emptied at every tick.
    std::string FetchedBody;
    // "y" when the latest content check found the look-for text.
    std::string FoundFlag;
};

}  // namespace corvasse

#pragma once
// State that the watch cycle keeps for the program's whole run, and what
// the latest watch found.

#include <cstdint>

#include "app/view/said_once.h"
#include "core/watch_outcome.h"

namespace corvasse {

struct WatchState {
    // Completed ticks; never reset.
    int32_t WatchCount = 0;
    // What the latest watch found, as far as it got: also when an alert's
    // error or a cut left it. The running watch fills it in.
    WatchOutcome outcome;
    // The host and family whose missing address the pane told of last, so
    // that it says so once.
    SaidOnce skippedFamilyNoted;
};

}  // namespace corvasse

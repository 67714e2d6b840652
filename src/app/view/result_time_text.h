#pragma once
// The moments the history keeps, as people read them.

#include <string>

#include "core/history_records.h"

namespace corvasse {

// "2026-12-08 14:02:07" in local time.
std::string TimestampText(ResultTime time);

// How long from one moment to a later one: "2 h 13 min" (cut to whole seconds).
std::string DurationText(ResultTime from, ResultTime to);

}  // namespace corvasse

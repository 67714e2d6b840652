#pragma once
// How long something lasted, as people write it: "45 s", "4 min",
// "2 h 13 min", "3 d 4 h". Two units at most, the larger first; the smaller
// is left out when it is zero ("2 h", "3 d"), and what is below it is cut
// off, never rounded up, so that a text never claims more time than passed.

#include <chrono>
#include <string>

namespace corvasse {

// A negative duration (a clock set back) reads "0 s".
std::string DurationText(std::chrono::seconds duration);

}  // namespace corvasse

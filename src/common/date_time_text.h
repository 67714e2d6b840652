#pragma once
// Local date-time texts written into the status pane and the log.

#include <ctime>
#include <string>

namespace corvasse {

// The user's short date and long time ("%x %X" in the LC_TIME locale); the
// time is left out when it is exactly midnight.
std::string DateTimeText(std::time_t when);
std::string DateTimeTextNow();

// "2026-12-08 14:02:07" in local time: the same in every locale, and in
// date order when sorted.
std::string TimestampText(std::time_t when);

// The local time of day, "14:02:07", and without the seconds, "14:02".
std::string TimeOfDayText(std::time_t when);
std::string HourMinuteText(std::time_t when);

}  // namespace corvasse

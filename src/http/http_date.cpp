#include "http/http_date.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "common/byte_string.h"

namespace corvasse {

namespace {

constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::optional<int> MonthIndex(std::string_view word) {
    for (int i = 0; i < 12; ++i) {
        if (word.size() >= 3 && EqualsNoCase(word.substr(0, 3), kMonths[i])) return i;
    }
    return std::nullopt;
}

std::optional<int> Number(std::string_view word) {
    if (word.empty() || word.size() > 9) return std::nullopt;
    int value = 0;
    for (char c : word) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// Splits at blanks and commas; "06-Nov-94" (RFC 850) becomes three words,
// while a zone such as "-0500" stays whole.
std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && std::strchr(" \t,", text[i]) != nullptr) ++i;
        size_t start = i;
        while (i < text.size() && std::strchr(" \t,", text[i]) == nullptr) ++i;
        std::string_view word = text.substr(start, i - start);
        if (word.empty()) continue;
        if (word[0] != '-' && word[0] != '+') {
            size_t dash;
            while ((dash = word.find('-')) != std::string_view::npos) {
                if (dash > 0) words.push_back(word.substr(0, dash));
                word.remove_prefix(dash + 1);
            }
        }
        if (!word.empty()) words.push_back(word);
    }
    return words;
}

std::string Format(const std::tm& tm, const char* zone) {
    char text[64];
    std::snprintf(text, sizeof text, "%s, %.2d %s %.4d %.2d:%.2d:%.2d %s", kWeekdays[tm.tm_wday % 7], tm.tm_mday,
                  kMonths[tm.tm_mon % 12], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec, zone);
    return text;
}

}  // namespace

std::time_t ParseInternetDate(std::string_view text) {
    const std::string trimmed = Trim(text);
    std::vector<std::string_view> words = Words(trimmed);
    // Drop a leading weekday name.
    if (!words.empty() && !Number(words[0]) && !MonthIndex(words[0])) words.erase(words.begin());
    if (words.size() < 4) return 0;

    std::optional<int> day, month, year;
    std::string_view time, zone;
    if (MonthIndex(words[0])) {
        // asctime: "Nov 6 08:49:37 1994"
        month = MonthIndex(words[0]);
        day = Number(words[1]);
        time = words[2];
        year = Number(words[3]);
    } else {
        day = Number(words[0]);
        month = MonthIndex(words[1]);
        year = Number(words[2]);
        time = words[3];
        if (words.size() > 4) zone = words[4];
    }
    int hour = 0, minute = 0, second = 0;
    if (!day || !month || !year || std::sscanf(std::string(time).c_str(), "%d:%d:%d", &hour, &minute, &second) < 2) {
        return 0;
    }
    int fullYear = *year;
    if (fullYear < 50) {
        fullYear += 2000;
    } else if (fullYear < 100) {
        fullYear += 1900;
    }

    long offsetSeconds = 0;
    if (zone.size() == 5 && (zone[0] == '+' || zone[0] == '-') && Number(zone.substr(1))) {
        int hhmm = *Number(zone.substr(1));
        offsetSeconds = (hhmm / 100) * 3600L + (hhmm % 100) * 60L;
        if (zone[0] == '-') offsetSeconds = -offsetSeconds;
    }
    std::tm tm{};
    tm.tm_year = fullYear - 1900;
    tm.tm_mon = *month;
    tm.tm_mday = *day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    std::time_t utc = timegm(&tm);
    return utc == static_cast<std::time_t>(-1) ? 0 : utc - offsetSeconds;
}

std::string FormatHttpDate(std::time_t when) {
    std::tm tm{};
    gmtime_r(&when, &tm);
    return Format(tm, "GMT");
}

}  // namespace corvasse

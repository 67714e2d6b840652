#include "app/history_view/results_csv.h"

#include <chrono>
#include <cstdio>

#include "common/utf8_text.h"
#include "history/history_store.h"

namespace corvasse {

namespace {

// What is handed to the writer at once: a year of results in some 500 pieces.
constexpr size_t kPieceBytes = 64 * 1024;

std::string IsoTime(ResultTime time) {
    using namespace std::chrono;
    const auto day = floor<days>(time);
    const year_month_day date(day);
    const hh_mm_ss<milliseconds> clock(time - day);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
    return text;
}

std::string Milliseconds(std::chrono::microseconds duration) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%03lld", static_cast<long long>(duration.count() / 1000),
                  static_cast<long long>(duration.count() % 1000));
    return text;
}

// A spreadsheet takes a cell that begins with one of these for a formula.
bool LooksLikeFormula(std::string_view text) {
    return !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
}

bool IsControl(std::string_view character) {
    const auto first = static_cast<unsigned char>(character.front());
    if (character.size() == 1) return first < 0x20 || first == 0x7f;
    // U+0080 to U+009F, the C1 controls.
    return character.size() == 2 && first == 0xc2 && static_cast<unsigned char>(character[1]) < 0xa0;
}

// A reason as the server chose it, made safe to open: no formula, valid
// UTF-8 (a strict reader stops at the first bad byte), no control character.
std::string Field(std::string_view text) {
    std::string field = LooksLikeFormula(text) ? "'" : "";
    while (!text.empty()) {
        const size_t length = Utf8CharacterLength(text);
        if (length == 0) {
            field += "\xEF\xBF\xBD";  // U+FFFD for each byte that is not UTF-8
            text.remove_prefix(1);
            continue;
        }
        const std::string_view character = text.substr(0, length);
        field += IsControl(character) ? std::string_view(" ") : character;
        text.remove_prefix(length);
    }
    if (field.find_first_of(",\"") == std::string::npos) return field;
    std::string quoted = "\"";
    for (char c : field) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string_view StateName(ResultState state) {
    switch (state) {
        case ResultState::Up: return "up";
        case ResultState::Down: return "down";
        case ResultState::Unknown: break;
    }
    return "unknown";
}

}  // namespace

std::string ResultsCsvRow(const WatchResult& result) {
    std::string row = IsoTime(result.time);
    row += ',';
    row += StateName(result.state);
    row += ',';
    if (result.responseTime) row += Milliseconds(*result.responseTime);
    row += ',';
    if (result.size) row += std::to_string(*result.size);
    row += ',';
    row += Field(result.reason);
    row += "\r\n";
    return row;
}

void WriteResultsCsv(HistoryStore& store, WatchId watch, TimeRange range,
                     const std::function<void(std::string_view)>& write) {
    std::string piece(kResultsCsvHeader);
    store.VisitResults(watch, range, [&](const WatchResult& result) {
        piece += ResultsCsvRow(result);
        if (piece.size() >= kPieceBytes) {
            write(piece);
            piece.clear();
        }
    });
    write(piece);
}

}  // namespace corvasse

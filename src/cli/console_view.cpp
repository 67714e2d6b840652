#include "cli/console_view.h"

#include <ctime>
#include <utility>

#include "cli/console_dialogs.h"
#include "common/date_time_text.h"
#include "common/server_text.h"

namespace corvasse {

ConsoleView::ConsoleView(std::FILE* lines, std::FILE* messages, std::string prefix)
    : lines_(lines), messages_(messages), prefix_(std::move(prefix)) {}

void ConsoleView::ShowLogFailure(const std::string& message) {
    if (messages_ != nullptr) WriteEntry(messages_, prefix_ + BlankedControls(message));
}

void ConsoleView::AddStatusLine(const std::string& line) { AddResultLine(std::time(nullptr), line); }

void ConsoleView::AddResultLine(std::time_t when, const std::string& line) {
    if (lines_ == nullptr) return;
    // One write per line, so that lines of several processes never mix.
    WriteEntry(lines_, TimestampText(when) + " " + prefix_ + BlankedControls(line));
}

}  // namespace corvasse

#include "cli/console_view.h"

#include <ctime>

#include "common/date_time_text.h"

namespace corvasse {

ConsoleView::ConsoleView(std::FILE* lines) : lines_(lines) {}

void ConsoleView::AddStatusLine(const std::string& line) {
    if (lines_ == nullptr) return;
    const std::string text = TimestampText(std::time(nullptr)) + " " + line + "\n";
    // One write per line, so that lines of several processes never mix.
    std::fwrite(text.data(), 1, text.size(), lines_);
    std::fflush(lines_);
}

}  // namespace corvasse

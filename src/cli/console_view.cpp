#include "cli/console_view.h"

#include <ctime>

namespace corvasse {

ConsoleView::ConsoleView(std::FILE* lines) : lines_(lines) {}

void ConsoleView::AddStatusLine(const std::string& line) {
    if (lines_ == nullptr) return;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    const size_t length = std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S ", &local);
    const std::string text = std::string(stamp, length) + line + "\n";
    // One write per line, so that lines of several processes never mix.
    std::fwrite(text.data(), 1, text.size(), lines_);
    std::fflush(lines_);
}

}  // namespace corvasse

#include "cli/console_view.h"

#include <ctime>

#include "cli/console_dialogs.h"

namespace corvasse {

ConsoleView::ConsoleView(std::FILE* lines, std::FILE* messages) : lines_(lines), messages_(messages) {}

void ConsoleView::ShowLogFailure(const std::string& message) {
    if (messages_ != nullptr) WriteEntry(messages_, message);
}

void ConsoleView::AddStatusLine(const std::string& line) {
    if (lines_ == nullptr) return;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    const size_t length = std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S ", &local);
    WriteEntry(lines_, std::string(stamp, length) + line);
}

}  // namespace corvasse

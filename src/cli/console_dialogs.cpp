#include "cli/console_dialogs.h"

namespace corvasse {

void ConsoleDialogs::ShowMessage(const std::string& text) {
    const std::string entry = text + "\n";
    std::fwrite(entry.data(), 1, entry.size(), out_);
    std::fflush(out_);
}

void ConsoleDialogs::ShowError(const std::string& text) { ShowMessage(text); }

}  // namespace corvasse

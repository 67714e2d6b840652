#include "cli/console_dialogs.h"

namespace corvasse {

void WriteEntry(std::FILE* out, const std::string& text) {
    const std::string entry = text + "\n";
    std::fwrite(entry.data(), 1, entry.size(), out);
    std::fflush(out);
}

void ConsoleDialogs::ShowMessage(const std::string& text) { WriteEntry(out_, prefix_ + text); }

void ConsoleDialogs::ShowError(const std::string& text) { ShowMessage(text); }

}  // namespace corvasse

#include "app/view/handler_guard.h"

#include <exception>

#include "app/view/dialogs.h"

namespace corvasse {

std::string ErrorBoxText(std::string_view message) {
    std::string text(message);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
    return text;
}

void HandlerGuard::Run(const std::function<void()>& handler) const {
    try {
        handler();
    } catch (const std::exception& error) {
        dialogs_.ShowError(ErrorBoxText(error.what()));
    }
}

}  // namespace corvasse

#pragma once
// Modal boxes and sounds. Each box has one OK button and returns when the
// user closes it; events go on being handled while it is open.

#include <string>

namespace corvasse {

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // The system's default warning sound.
    virtual void Beep() = 0;
    // A message box captioned with the application title.
    virtual void ShowMessage(const std::string& text) = 0;
    // The standard error box: the error's message (already completed with its
    // full stop), the application title, an error icon.
    virtual void ShowError(const std::string& text) = 0;
};

}  // namespace corvasse

#pragma once
// The boxes of one watch among several, shown as the window's own.

#include "app/view/dialogs.h"

namespace corvasse {

class ForwardedDialogs : public Dialogs {
public:
    // dialogs must outlive this object.
    explicit ForwardedDialogs(Dialogs& dialogs) : dialogs_(dialogs) {}

    void Beep() override { dialogs_.Beep(); }
    void ShowMessage(const std::string& text) override { dialogs_.ShowMessage(text); }
    void ShowError(const std::string& text) override { dialogs_.ShowError(text); }

private:
    Dialogs& dialogs_;
};

}  // namespace corvasse

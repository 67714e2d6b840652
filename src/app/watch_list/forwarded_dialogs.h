#pragma once
// The boxes of a watch that runs beside the one the window shows: the
// window's own boxes, each text starting with the watch's name in brackets
// ("[shop] Socket Error # 10061...").

#include <string>

#include "app/view/dialogs.h"

namespace corvasse {

class ForwardedDialogs : public Dialogs {
public:
    // dialogs must outlive this object.
    ForwardedDialogs(Dialogs& dialogs, std::string name) : dialogs_(dialogs), prefix_("[" + name + "] ") {}

    void Beep() override { dialogs_.Beep(); }
    void ShowMessage(const std::string& text) override { dialogs_.ShowMessage(prefix_ + text); }
    void ShowError(const std::string& text) override { dialogs_.ShowError(prefix_ + text); }

private:
    Dialogs& dialogs_;
    std::string prefix_;
};

}  // namespace corvasse

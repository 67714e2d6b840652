#pragma once
// Message boxes and the warning beep on Qt. Each box runs its own event
// loop, so timer ticks and other handlers go on while it is open.

#include "app/dialogs.h"

class QWidget;

namespace corvasse {

class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent) : parent_(parent) {}

    void Beep() override;
    void ShowMessage(const std::string& text) override;
    void ShowError(const std::string& text) override;

private:
    QWidget* parent_;
};

}  // namespace corvasse

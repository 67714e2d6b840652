#pragma once
// Message boxes and the warning beep on Qt. Each box runs its own event
// loop, so timer ticks and other handlers go on while it is open.

#include <memory>
#include <string>

#include <QMessageBox>

#include "app/view/dialogs.h"

class QWidget;

namespace corvasse {

// A box with one OK button, captioned with the application title. The text
// is shown as it stands, never read as markup: it may come from a server.
std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, QMessageBox::Icon icon, const std::string& text);

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

#include "ui/qt_dialogs.h"

#include <QApplication>

#include "ui/qt_text.h"

namespace corvasse {

std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, QMessageBox::Icon icon, const std::string& text) {
    auto box =
        std::make_unique<QMessageBox>(icon, QApplication::applicationName(), FromBytes(text), QMessageBox::Ok, parent);
    box->setTextFormat(Qt::PlainText);
    return box;
}

void QtDialogs::Beep() { QApplication::beep(); }

void QtDialogs::ShowMessage(const std::string& text) { MakeMessageBox(parent_, QMessageBox::NoIcon, text)->exec(); }

void QtDialogs::ShowError(const std::string& text) { MakeMessageBox(parent_, QMessageBox::Critical, text)->exec(); }

}  // namespace corvasse

#include "ui/qt_dialogs.h"

#include <QApplication>
#include <QMessageBox>

#include "ui/qt_text.h"

namespace corvasse {

namespace {

void ShowBox(QWidget* parent, QMessageBox::Icon icon, const std::string& text) {
    QMessageBox box(icon, QApplication::applicationName(), FromBytes(text), QMessageBox::Ok, parent);
    box.exec();
}

}  // namespace

void QtDialogs::Beep() { QApplication::beep(); }

void QtDialogs::ShowMessage(const std::string& text) { ShowBox(parent_, QMessageBox::NoIcon, text); }

void QtDialogs::ShowError(const std::string& text) { ShowBox(parent_, QMessageBox::Critical, text); }

}  // namespace corvasse

#include "ui/qt_dialogs.h"

#include <QApplication>
#include <QMessageBox>

namespace corvasse {

namespace {

void ShowBox(QWidget* parent, QMessageBox::Icon icon, const std::string& text) {
    QMessageBox box(icon, QApplication::applicationName(), QString::fromLocal8Bit(text), QMessageBox::Ok, parent);
    box.exec();
}

}  // namespace

void QtDialogs::Beep() { QApplication::beep(); }

void QtDialogs::ShowMessage(const std::string& text) { ShowBox(parent_, QMessageBox::NoIcon, text); }

void QtDialogs::ShowError(const std::string& text) { ShowBox(parent_, QMessageBox::Critical, text); }

}  // namespace corvasse

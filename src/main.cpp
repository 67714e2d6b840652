#include <clocale>

#include <QApplication>

#include "app/settings_store.h"
#include "ui/app_icon.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Qt sets the locale from the environment; the core's date texts rely on it too.
    std::setlocale(LC_ALL, "");
    QApplication::setApplicationName("Corvasse");
    QApplication::setDesktopFileName("corvasse");
    QApplication::setWindowIcon(corvasse::AppIcon());

    corvasse::MainWindow window(corvasse::SettingsStore::DefaultFolder());
    window.show();
    return QApplication::exec();
}

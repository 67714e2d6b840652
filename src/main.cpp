#include <clocale>

#include <QApplication>
#include <QIcon>

#include "app/settings_store.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Qt sets the locale from the environment; the core's date texts rely on it too.
    std::setlocale(LC_ALL, "");
    QApplication::setApplicationName("Corvasse");
    QApplication::setWindowIcon(QIcon(":/icons/corvasse.png"));

    corvasse::MainWindow window(corvasse::SettingsStore::DefaultFolder());
    window.show();
    return QApplication::exec();
}

// What window_start_bench compares the program's start with: a plain Qt
// program that shows one empty main window of the same size and title.

#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle("Corvasse");
    window.resize(617, 480);
    window.show();
    return QApplication::exec();
}

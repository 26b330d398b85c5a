// corvalin: the program. One modal dialog, the main window; the program ends with it.

#include "gui/qt/MainWindow.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvalin"));
    corvalin::CMainWindow window;
    window.exec();
    return 0;
}

// corvalin: the program. One modal dialog, the main window; the program ends with it.

#include "gui/qt/MainWindow.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvalin"));
    // Names the desktop entry, so a Wayland compositor shows the entry's icon for the window.
    QGuiApplication::setDesktopFileName(QStringLiteral(CORVALIN_APP_ID));
    corvalin::CMainWindow window;
    window.exec();
    return 0;
}

// corvalin: the program. One modal dialog, the main window; the program ends with it.

#include "BuildVersion.h"
#include "gui/qt/MainWindow.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    // Answered before QApplication exists, which needs a display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0)
    {
        std::printf("corvalin %s\n", corvalin::kVersion);
        return 0;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvalin"));
    // Names the desktop entry, so a Wayland compositor shows the entry's icon for the window.
    QGuiApplication::setDesktopFileName(QStringLiteral(CORVALIN_APP_ID));
    corvalin::CMainWindow window;
    window.exec();
    return 0;
}

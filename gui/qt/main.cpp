// corvalin: the program. One modal dialog, the main window; the program ends with it.

#include "BuildVersion.h"
#include "gui/model/CommandLine.h"
#include "gui/qt/MainWindow.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <vector>

namespace
{

std::vector<std::filesystem::path> Arguments(int argc, char** argv)
{
    return std::vector<std::filesystem::path>(argv + 1, argv + argc);
}

} // namespace

int main(int argc, char** argv)
{
    // --help and --version are answered before QApplication exists, which needs a display.
    const corvalin::CCommandLine early = corvalin::ParseCommandLine(Arguments(argc, argv));
    if (early.m_eAction == corvalin::ECommandLineAction::Help)
    {
        std::fputs(corvalin::CommandLineUsage().c_str(), stdout);
        return 0;
    }
    if (early.m_eAction == corvalin::ECommandLineAction::Version)
    {
        std::printf("corvalin %s\n", corvalin::kVersion);
        return 0;
    }
    QApplication application(argc, argv);
    // What is left once Qt has taken its own options (-platform, -style and the like).
    const corvalin::CCommandLine line = corvalin::ParseCommandLine(Arguments(argc, argv));
    if (line.m_eAction == corvalin::ECommandLineAction::Error)
    {
        std::fprintf(stderr, "corvalin: %s\n%s", line.m_strError.c_str(),
                     corvalin::CommandLineUsage().c_str());
        return 2;
    }
    QApplication::setApplicationName(QStringLiteral("Corvalin"));
    // Names the desktop entry, so a Wayland compositor shows the entry's icon for the window.
    QGuiApplication::setDesktopFileName(QStringLiteral(CORVALIN_APP_ID));
    corvalin::CMainWindow window;
    // Opened once the window runs, so a code selection it offers shows above it.
    if (line.m_file)
        QTimer::singleShot(0, &window, [&window, file = *line.m_file] { window.Model().OpenFile(file); });
    window.exec();
    return 0;
}

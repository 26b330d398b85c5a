// Paint time of the code selection dialog with 100 source keys (2-bit 64 x 32
// bitmaps, captions), drawn whole into an off-screen pixmap the way the window system
// asks for it. Each key decodes its bitmap and makes its caption font at every
// drawing, so this is the cost a user sees when the dialog is uncovered. It runs
// once without and once with a "Pronto.ttf" in the working directory, since the font
// file is added and removed around every caption.

#include "ir/ui/CodeSelectionDlg.h"
#include "tools/fixtures/CcfBuilder.h"
#include "tools/fixtures/TempDir.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPixmap>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace corvalin;
using namespace corvalin::fixtures;

namespace
{

constexpr int kKeys = 100;
constexpr int kRounds = 30;

void Measure(const char* what, CCodeSelectionDlg& dialog)
{
    QPixmap target(dialog.size());
    dialog.render(&target); // warm-up: font caches, style
    std::vector<double> times;
    for (int round = 0; round < kRounds; ++round)
    {
        QElapsedTimer timer;
        timer.start();
        dialog.render(&target);
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    std::printf("%-40s median %7.2f ms  min %7.2f ms  max %7.2f ms  (%d rounds)\n", what,
                times[times.size() / 2], times.front(), times.back(), kRounds);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    CTempDir dir;
    const auto path = dir / "keys.ccf";
    WriteFileBytes(path, BuildLargeCcf(kKeys, 0));

    CCodeSelectionDlg dialog;
    dialog.SetMessageHook([](const QString& text) { std::printf("message: %s\n", qPrintable(text)); });
    dialog.SourceFileBox()->setText(QString::fromStdString(path.string()));
    std::printf("dialog %dx%d, %zu source keys\n", dialog.width(), dialog.height(),
                dialog.SourceKeys().size());

    Measure("whole dialog, no Pronto.ttf", dialog);

    const QString font = QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    if (QFile::exists(font) && QFile::copy(font, QString::fromStdString((dir / "Pronto.ttf").string())))
    {
        const QString previous = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(dir.Path().string()));
        Measure("whole dialog, Pronto.ttf present", dialog);
        QDir::setCurrent(previous);
    }
    return 0;
}

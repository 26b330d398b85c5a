// Paint time of the code selection dialog with 100 source keys (2-bit 64 x 32
// bitmaps, captions), drawn whole into an off-screen pixmap the way the window system
// asks for it. Each key makes its caption font at every drawing (its bitmap was
// decoded when it was made), so this is the cost a user sees when the dialog is
// uncovered. It runs once without and once with a "Pronto.ttf" in the working
// directory, since the font file is added and removed around every caption. Then the
// same for files built to be costly: 20 keys of 4096 x 4096 pixels, and 65,025 keys
// from 7 KB, with the time it takes to open each; and for a colour file of 101 keys
// whose 28 x 20 bitmaps index the 256-colour palette, with coloured captions.

#include "gui/qt/CodeSelectionDlg.h"
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

// Opens the file in a dialog of its own, then measures its paint.
void MeasureFile(const char* what, const std::filesystem::path& path, const Bytes& bytes)
{
    WriteFileBytes(path, bytes);
    CCodeSelectionDlg dialog;
    dialog.SetMessageHook([](const QString& text) { std::printf("message: %s\n", qPrintable(text)); });
    QElapsedTimer timer;
    timer.start();
    dialog.SourceFileBox()->setText(QString::fromStdString(path.string()));
    std::printf("%s: %zu bytes, opened in %.2f ms, %zu source keys\n", what, bytes.size(),
                double(timer.nsecsElapsed()) / 1e6, dialog.SourceKeys().size());
    Measure(what, dialog);
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
    MeasureFile("huge keys", dir / "huge.ccf", BuildHugeKeysCcf());
    MeasureFile("wide", dir / "wide.ccf", BuildWideCcf());
    MeasureFile("colour, 101 keys, 256-colour bitmaps", dir / "colour.ccf", BuildColourCcf(101));

    const QString font = QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    if (QFile::exists(font) && QFile::copy(font, QString::fromStdString((dir / "Pronto.ttf").string())))
    {
        const QString previous = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(dir.Path().string()));
        Measure("whole dialog, Pronto.ttf present", dialog);
        MeasureFile("colour, 101 keys, Pronto.ttf present", dir / "colour.ccf", BuildColourCcf(101));
        QDir::setCurrent(previous);
    }
    return 0;
}

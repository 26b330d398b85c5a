// The window's responsiveness: the time from start to the first painted main window,
// and the longest stall of the window's thread while a silent box is probed (the
// probe itself takes about 20 s with the box's real time-outs).
//
//   benchmark_window [BOXSIM]     BOXSIM defaults to the built corvalin-boxsim

#include "gui/qt/MainWindow.h"
#include "tools/fixtures/BoxSim.h"
#include "tools/fixtures/TempDir.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>

using namespace corvalin;

namespace
{

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

class CPaintWatch : public QObject
{
  public:
    bool m_bPainted = false;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            m_bPainted = true;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char** argv)
{
    const Clock::time_point start = Clock::now();
    const char* boxsim = argc > 1 ? argv[1] : CORVALIN_BOXSIM_PATH;
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    fixtures::CTempDir dir;
    const auto mapDir = dir.Path() / "map";
    std::filesystem::create_directories(mapDir);
    setenv("CORVALIN_SERIAL_MAP", mapDir.c_str(), 1);

    QApplication application(argc, argv);
    {
        // Start to first paint.
        CPaintWatch watch;
        CMainWindow window;
        window.installEventFilter(&watch);
        window.show();
        while (!watch.m_bPainted)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        std::printf("start to first painted window: %.1f ms\n", MsSince(start));
    }

    // A silent box plugged in; the window's own 500 ms timer finds it and probes it on
    // the seventh tick. A 1 ms timer measures how long the window's thread is away.
    fixtures::CBoxSim box(boxsim, {"--map-dir", mapDir.string(), "--silent"});
    if (box.Path().empty())
    {
        std::fprintf(stderr, "benchmark_window: cannot start %s\n", boxsim);
        return 1;
    }
    CMainWindow window;
    window.show();
    QElapsedTimer sinceLast;
    qint64 longest = 0;
    qint64 probeLongest = 0;
    QTimer beat;
    beat.setInterval(1);
    QObject::connect(&beat, &QTimer::timeout,
                     [&]
                     {
                         const qint64 gap = sinceLast.restart();
                         longest = std::max(longest, gap);
                         if (window.Model().IsProbing())
                             probeLongest = std::max(probeLongest, gap);
                     });
    sinceLast.start();
    beat.start();
    const Clock::time_point plugged = Clock::now();
    bool sawProbe = false;
    while (MsSince(plugged) < 30000 && !(sawProbe && window.Model().IsConnected()))
    {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        sawProbe = sawProbe || window.Model().IsProbing();
    }
    std::printf("silent box: probe %s after %.1f s\n",
                window.Model().IsConnected() ? "ended" : "still running", MsSince(plugged) / 1000);
    std::printf("longest window-thread stall while the probe ran: %lld ms (over the whole run: %lld ms)\n",
                static_cast<long long>(probeLongest), static_cast<long long>(longest));
    window.reject();
    return 0;
}

// The status line and progress bar as the worker's thread drives them: texts keep the
// order they were set in across threads, out-of-range positions show a full or empty
// bar, and the bar colour words become the colours painted.

#include "app/UiDispatcher.h"
#include "app/WindowControls.h"

#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>

#include <thread>

using namespace corvalin;

class CWindowControlsTest : public QObject
{
    Q_OBJECT

private slots:
    void textsKeepTheirOrderAcrossThreads();
    void positionsOutsideTheRangeAreClamped_data();
    void positionsOutsideTheRangeAreClamped();
    void barColoursArePainted_data();
    void barColoursArePainted();
};

void CWindowControlsTest::textsKeepTheirOrderAcrossThreads()
{
    CUiDispatcher dispatcher;
    QLabel label;
    CQtStatusControl status(dispatcher, &label);
    QSignalSpy shown(&status, &CQtStatusControl::TextShown);

    std::thread worker([&] {
        for (int i = 0; i < 300; ++i)
            status.SetText("worker " + std::to_string(i));
    });
    worker.join();
    // Nothing from the worker has been delivered yet; the window's own text, set
    // later, must still come after all of it.
    QCOMPARE(label.text(), QString());
    status.SetText("window");
    QCOMPARE(shown.count(), 301);
    for (int i = 0; i < 300; ++i)
        QCOMPARE(shown.at(i).at(0).toString(), QStringLiteral("worker %1").arg(i));
    QCOMPARE(label.text(), QStringLiteral("window"));

    // The queued deliveries that follow find nothing left to do.
    QTest::qWait(20);
    QCOMPARE(shown.count(), 301);
    QCOMPARE(label.text(), QStringLiteral("window"));

    // Texts from the worker alone arrive through the event loop, in order.
    std::thread later([&] {
        status.SetText("Send INIT");
        status.SetText("Start XFER");
    });
    later.join();
    QTRY_COMPARE(label.text(), QStringLiteral("Start XFER"));
    QCOMPARE(shown.at(301).at(0).toString(), QStringLiteral("Send INIT"));
}

void CWindowControlsTest::positionsOutsideTheRangeAreClamped_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("shown");
    QTest::newRow("inside") << 37 << 37;
    QTest::newRow("last block passes 100") << 150 << 100;
    QTest::newRow("far above") << 100000 << 100;
    QTest::newRow("below") << -5 << 0;
}

void CWindowControlsTest::positionsOutsideTheRangeAreClamped()
{
    QFETCH(int, position);
    QFETCH(int, shown);
    CUiDispatcher dispatcher;
    QProgressBar bar;
    CQtProgressControl progress(dispatcher, &bar);
    progress.SetRange(0, 100);
    progress.SetPos(50);
    std::thread worker([&] { progress.SetPos(position); });
    worker.join();
    QTRY_COMPARE(bar.value(), shown);
}

void CWindowControlsTest::barColoursArePainted_data()
{
    QTest::addColumn<uint>("color");
    QTest::addColumn<QColor>("expected");
    QTest::newRow("navy during an update") << uint(kBarColorNavy) << QColor(0, 0, 128);
    QTest::newRow("green after success") << uint(kBarColorGreen) << QColor(0, 255, 0);
}

void CWindowControlsTest::barColoursArePainted()
{
    QFETCH(uint, color);
    QFETCH(QColor, expected);
    CUiDispatcher dispatcher;
    QProgressBar bar;
    bar.setTextVisible(false);
    bar.resize(200, 24);
    CQtProgressControl progress(dispatcher, &bar);
    progress.SetRange(0, 100);
    progress.SetPos(100);
    progress.SetBarColor(color);
    QCOMPARE(bar.palette().color(QPalette::Highlight), expected);
    const QImage image = bar.grab().toImage();
    const QColor painted = image.pixelColor(image.width() / 2, image.height() / 2);
    // The style shades the bar a little; the hue must be the one asked for.
    QVERIFY2(std::abs(painted.red() - expected.red()) < 40 && std::abs(painted.green() - expected.green()) < 40 &&
                 std::abs(painted.blue() - expected.blue()) < 40,
             qPrintable(painted.name()));
}

QTEST_MAIN(CWindowControlsTest)
#include "gui_window_controls_test.moc"

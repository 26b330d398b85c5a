// The main window with a simulated box: presence polling through a serial-port map
// directory, the probe off the window's thread, updates end to end with their status
// texts and bar colour, the "not compatible" message, refusals during an update and
// closing while the worker is busy.

#include "app/MainWindow.h"
#include "tests/gui/GuiTestSupport.h"
#include "tools/fixtures/BoxSim.h"
#include "tools/fixtures/TempDir.h"
#include "tools/fixtures/ZipWriter.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace corvalin;
using namespace corvalin::guitest;

namespace
{

// The window's timer is left to the test: a tick happens when the test says so.
CWindowTiming ManualTicks()
{
    CWindowTiming timing;
    timing.nPresencePollMs = 24 * 3600 * 1000;
    return timing;
}

// The box's time-outs shrunk, so a silent box costs a fraction of a second.
CLinkTiming FastLink()
{
    CLinkTiming timing;
    timing.nReadIntervalMs = 30;
    timing.nReadMultiplierMs = 0;
    timing.nReadConstantMs = 40;
    timing.nIdleStepMs = 5;
    timing.nRestartPauseMs = 20;
    return timing;
}

QStringList Texts(const QSignalSpy& spy)
{
    QStringList texts;
    for (const QList<QVariant>& call : spy)
        texts << call.at(0).toString();
    return texts;
}

class CBench
{
public:
    CBench()
    {
        m_mapDir = m_dir / "map";
        std::filesystem::create_directories(m_mapDir);
        qputenv("CORVALIN_SERIAL_MAP", QByteArray::fromStdString(m_mapDir.string()));
        fixtures::CImageSpec imageSpec;
        imageSpec.params = fixtures::RealisticParameters(false);
        imageSpec.bodySize = 8 * 512 + 100;
        m_image = WriteImage(m_dir / "product.img", imageSpec);
        imageSpec.bodySize = 16 * 512;
        m_bundle = m_dir / "bundle.zip";
        fixtures::WriteZip(m_bundle, {{"image.info", {}},
                                      {"VOLVO_P3_enc_1.07.bin", fixtures::BuildImageFile(imageSpec)},
                                      {"VOLVO_P2_IR_enc_1.02.bin", fixtures::BuildImageFile(imageSpec)}});
    }
    ~CBench() { qunsetenv("CORVALIN_SERIAL_MAP"); }

    // Plugs a box in: the simulator publishes its port in the map.
    bool Plug(std::vector<std::string> options = {})
    {
        options.insert(options.begin(), {"--map-dir", m_mapDir.string()});
        m_box = std::make_unique<fixtures::CBoxSim>(CORVALIN_BOXSIM_PATH, options);
        return !m_box->Path().empty();
    }
    // Pulls the cable: the port leaves the map.
    void Unplug()
    {
        m_box.reset();
        std::filesystem::remove(m_mapDir / "Silabser0");
    }

    std::unique_ptr<CMainWindow> NewWindow()
    {
        auto window = std::make_unique<CMainWindow>(ManualTicks(), FastLink());
        const QString path = ToQString(m_image);
        window->SetFileChoosers([path](QWidget*) { return path; }, [](QWidget*) { return QString(); });
        window->show();
        return window;
    }

    // Ticks until the window has probed the box and shows the result.
    static bool Connect(CMainWindow& window)
    {
        for (int i = 0; i < 7; ++i)
            window.OnTimer();
        return WaitFor([&] { return window.IsConnected(); }, 10000);
    }

    static void Load(CMainWindow& window)
    {
        QTest::mouseClick(Control<QPushButton>(&window, "browse"), Qt::LeftButton);
    }

    // Opens the bundle and picks its first product with the keyboard.
    void LoadProduct(CMainWindow& window)
    {
        const QString bundle = ToQString(m_bundle);
        window.SetFileChoosers([bundle](QWidget*) { return bundle; }, [](QWidget*) { return QString(); });
        Load(window);
        auto* products = Control<QComboBox>(&window, "product");
        products->setFocus();
        QTest::keyClick(products, Qt::Key_Down);
    }

    fixtures::CTempDir m_dir;
    std::filesystem::path m_mapDir;
    std::filesystem::path m_image;
    std::filesystem::path m_bundle;
    std::unique_ptr<fixtures::CBoxSim> m_box;
};

QString DeviceText(CMainWindow& window)
{
    return Control<QLineEdit>(&window, "device")->text();
}

QString Status(CMainWindow& window)
{
    return Control<QLabel>(&window, "status")->text();
}

QProgressBar* Bar(CMainWindow& window)
{
    return Control<QProgressBar>(&window, "progress");
}

// The colour the bar's filled part is painted in, read from the painted pixels.
QColor PaintedBarColor(QProgressBar* bar)
{
    const QImage image = bar->grab().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

} // namespace

class CDeviceWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void probesOnTheSeventhTickAndResetsOnUnplug();
    void showsEveryByteOfTheBoxName();
    void silentBoxAsksToReplugWithoutBlocking();
    void updateRunsEndToEnd();
    void notCompatibleMessageWaitsForTheUser();
    void refusesChangesDuringAnUpdateAndClosesCleanly();
    void closesWhileTheMessageIsOpen();
    void closesDuringASilentProbe();
    void fastTransferIsChosenInTheContextMenu();
};

void CDeviceWindowTest::probesOnTheSeventhTickAndResetsOnUnplug()
{
    CBench bench;
    auto window = bench.NewWindow();
    window->OnTimer();
    QCOMPARE(DeviceText(*window), QStringLiteral("Not connected"));

    for (int plugIn = 0; plugIn < 2; ++plugIn)
    {
        QVERIFY(bench.Plug());
        for (int tick = 1; tick <= 6; ++tick)
        {
            window->OnTimer();
            QVERIFY(!window->IsProbing());
            QVERIFY(!window->IsConnected());
        }
        QCOMPARE(DeviceText(*window), QStringLiteral("Not connected"));
        window->OnTimer();
        QVERIFY(window->IsProbing() || window->IsConnected());
        QVERIFY(WaitFor([&] { return window->IsConnected(); }, 10000));
        static const QRegularExpression entry(QStringLiteral("^pts/[0-9]+ \\| BOX \\| 00001234$"));
        QVERIFY2(entry.match(DeviceText(*window)).hasMatch(), qPrintable(DeviceText(*window)));
        QCOMPARE(Bar(*window)->value(), 0);

        // Connected without an image: "Update" stays off; with one it comes on.
        if (plugIn == 0)
            QVERIFY(!Control<QPushButton>(window.get(), "update")->isEnabled());
        CBench::Load(*window);
        QVERIFY(Control<QPushButton>(window.get(), "update")->isEnabled());

        window->ProgressControl().SetPos(40);
        bench.Unplug();
        window->OnTimer();
        QVERIFY(!window->IsConnected());
        QCOMPARE(DeviceText(*window), QStringLiteral("Not connected"));
        QCOMPARE(Bar(*window)->value(), 0);
        QVERIFY(!Control<QPushButton>(window.get(), "update")->isEnabled());
    }
}

void CDeviceWindowTest::showsEveryByteOfTheBoxName()
{
    CBench bench;
    QVERIFY(bench.Plug({"--name", "Caf\xE9 \xFF\x80"}));
    auto window = bench.NewWindow();
    for (int tick = 1; tick <= 7; ++tick)
        window->OnTimer();
    QVERIFY(WaitFor([&] { return window->IsConnected(); }, 10000));
    QVERIFY2(DeviceText(*window).endsWith(QStringLiteral(" | Caf\u00E9 \u00FF\u0080 | 00001234")),
             qPrintable(DeviceText(*window)));
}

void CDeviceWindowTest::silentBoxAsksToReplugWithoutBlocking()
{
    CBench bench;
    QVERIFY(bench.Plug({"--silent"}));
    auto window = bench.NewWindow();
    for (int tick = 1; tick <= 7; ++tick)
        window->OnTimer();
    // Ten unanswered reads take the probe well past this point; the tick has returned
    // and the window serves events while the probe runs.
    QVERIFY(window->IsProbing());
    QVERIFY(!window->IsConnected());
    CBench::Load(*window);
    QCOMPARE(Status(*window), QStringLiteral("Loaded update file"));

    QVERIFY(WaitFor([&] { return window->IsConnected(); }, 10000));
    QCOMPARE(DeviceText(*window), QStringLiteral("Cannot communicate, try to replug the USB"));

    // Connected with an image: "Update" is on, but with no port listed it starts
    // nothing, and says so.
    QVERIFY(Control<QPushButton>(window.get(), "update")->isEnabled());
    QTest::mouseClick(Control<QPushButton>(window.get(), "update"), Qt::LeftButton);
    QVERIFY(!window->Updater().IsUpdating());
    QCOMPARE(Status(*window), QStringLiteral("No device found"));

    // A failed probe is not repeated while the bridge stays.
    window->OnTimer();
    QVERIFY(!window->IsProbing());
    QCOMPARE(DeviceText(*window), QStringLiteral("Cannot communicate, try to replug the USB"));
}

void CDeviceWindowTest::updateRunsEndToEnd()
{
    CBench bench;
    QVERIFY(bench.Plug());
    auto window = bench.NewWindow();
    bench.LoadProduct(*window);
    QVERIFY(window->IsImageLoaded());
    QVERIFY(CBench::Connect(*window));
    SaveScreenshot(window.get(), QStringLiteral("main-window-connected"));

    QSignalSpy texts(&window->StatusControl(), &CQtStatusControl::TextShown);
    QTest::mouseClick(Control<QPushButton>(window.get(), "update"), Qt::LeftButton);
    QVERIFY(WaitFor([&] { return !window->Updater().IsUpdating() && Status(*window).contains("complete"); },
                    30000));
    QCOMPARE(Texts(texts), (QStringList{"Send INIT", "Start XFER", "Send PREP", "Send CLOSE", "Update complete"}));
    QCOMPARE(Bar(*window)->value(), 100);
    QCOMPARE(Bar(*window)->palette().color(QPalette::Highlight), QColor(0, 255, 0));
    const QColor painted = PaintedBarColor(Bar(*window));
    QVERIFY2(painted.green() > 180 && painted.red() < 100 && painted.blue() < 100, qPrintable(painted.name()));
    SaveScreenshot(window.get(), QStringLiteral("main-window-update-complete"));

    // The next update starts at once and turns the bar navy at its INIT.
    texts.clear();
    QTest::mouseClick(Control<QPushButton>(window.get(), "update"), Qt::LeftButton);
    QVERIFY(WaitFor([&] { return Texts(texts).contains("Update complete"); }, 30000));
    QCOMPARE(Texts(texts).first(), QStringLiteral("Send INIT"));
}

void CDeviceWindowTest::notCompatibleMessageWaitsForTheUser()
{
    CBench bench;
    QVERIFY(bench.Plug({"--prep-status", "2"}));
    auto window = bench.NewWindow();
    CBench::Load(*window);
    QVERIFY(CBench::Connect(*window));

    QTest::mouseClick(Control<QPushButton>(window.get(), "update"), Qt::LeftButton);
    QVERIFY(WaitFor([&] { return window->Notices().OpenMessage() != nullptr; }, 30000));
    QMessageBox* box = window->Notices().OpenMessage();
    QCOMPARE(box->text(), QStringLiteral("Error: The image file is not compatible with the hardware"));
    QCOMPARE(box->windowTitle(), QStringLiteral("Corvalin"));
    QCOMPARE(Status(*window), QStringLiteral("PREP Failed: 5"));
    // The worker waits for the user.
    QTest::qWait(100);
    QVERIFY(window->Updater().IsUpdating());

    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    QVERIFY(WaitFor([&] { return !window->Updater().IsUpdating(); }, 5000));
    QCOMPARE(Status(*window), QStringLiteral("PREP Failed: 5"));
    QCOMPARE(Bar(*window)->value(), 100);
    QCOMPARE(Bar(*window)->palette().color(QPalette::Highlight), QColor(0, 0, 128));
}

void CDeviceWindowTest::refusesChangesDuringAnUpdateAndClosesCleanly()
{
    CBench bench;
    QVERIFY(bench.Plug({"--flash-ms", "100"}));
    auto window = bench.NewWindow();
    bench.LoadProduct(*window);
    auto* products = Control<QComboBox>(window.get(), "product");
    QCOMPARE(products->currentText(), QStringLiteral("VOLVO_P2_IR_enc_1.02.bin"));
    QVERIFY(CBench::Connect(*window));
    const uint32_t before = GetParamValue(window->Updater().Header(), 0);

    QTest::mouseClick(Control<QPushButton>(window.get(), "update"), Qt::LeftButton);
    QVERIFY(WaitFor([&] { return Status(*window) == QLatin1String("Start XFER"); }, 10000));
    QVERIFY(WaitFor([&] { return Bar(*window)->value() > 10; }, 10000));
    QCOMPARE(Bar(*window)->palette().color(QPalette::Highlight), QColor(0, 0, 128));
    SaveScreenshot(window.get(), QStringLiteral("main-window-updating"));

    int asked = 0;
    window->SetFileChoosers([&](QWidget*) { ++asked; return ToQString(bench.m_image); }, [](QWidget*) { return QString(); });
    QTest::mouseClick(Control<QPushButton>(window.get(), "browse"), Qt::LeftButton);
    QCOMPARE(asked, 0);
    QCOMPARE(Status(*window), QStringLiteral("Wait for previous update to finish"));
    QVERIFY(window->IsImageLoaded());

    // Another product: refused, and the list shows the product being sent.
    QTest::keyClick(products, Qt::Key_Down);
    QCOMPARE(products->currentText(), QStringLiteral("VOLVO_P2_IR_enc_1.02.bin"));
    QCOMPARE(Status(*window), QStringLiteral("Wait for previous update to finish"));

    auto* list = Control<QListWidget>(window.get(), "parameters");
    list->setCurrentRow(0);
    window->ChangeParameter();
    QCOMPARE(GetParamValue(window->Updater().Header(), 0), before);

    // Pressing Update again leaves the running update alone.
    QTest::mouseClick(Control<QPushButton>(window.get(), "update"), Qt::LeftButton);
    QVERIFY(window->Updater().IsUpdating());

    // "Close" in the middle of the transfer: the worker stops and is joined.
    QTest::mouseClick(Control<QPushButton>(window.get(), "close"), Qt::LeftButton);
    QVERIFY(!window->isVisible());
    QVERIFY(WaitFor([&] { return !window->Updater().IsWorkerRunning(); }, 10000));
    window.reset();
}

void CDeviceWindowTest::closesWhileTheMessageIsOpen()
{
    CBench bench;
    QVERIFY(bench.Plug({"--prep-status", "1"}));
    auto window = bench.NewWindow();
    CBench::Load(*window);
    QVERIFY(CBench::Connect(*window));
    QTest::mouseClick(Control<QPushButton>(window.get(), "update"), Qt::LeftButton);
    QVERIFY(WaitFor([&] { return window->Notices().OpenMessage() != nullptr; }, 30000));

    // The close box (Cancel) while the worker waits on the message.
    window->reject();
    QVERIFY(WaitFor([&] { return !window->Updater().IsWorkerRunning(); }, 10000));
    window.reset();
}

void CDeviceWindowTest::closesDuringASilentProbe()
{
    CBench bench;
    QVERIFY(bench.Plug({"--silent"}));
    auto window = std::make_unique<CMainWindow>(ManualTicks(), CLinkTiming{});
    window->show();
    for (int tick = 1; tick <= 7; ++tick)
        window->OnTimer();
    QVERIFY(window->IsProbing());
    // With the box's own time-outs the probe would run about 20 s; closing ends its
    // reads, and destroying the window joins it. The bound is a guard far below 20 s.
    QElapsedTimer closing;
    closing.start();
    window->reject();
    window.reset();
    QVERIFY2(closing.elapsed() < 5000, qPrintable(QString::number(closing.elapsed())));
}

void CDeviceWindowTest::fastTransferIsChosenInTheContextMenu()
{
    // A box that sends a byte 10 ms after each reply: fast transfer meets it ahead of
    // the second reply, says so once and finishes the update with the box's timing.
    CBench bench;
    QVERIFY(bench.Plug({"--tail", "1", "--tail-gap-ms", "10"}));
    auto window = bench.NewWindow();
    auto* fast = window->findChild<QAction*>(QStringLiteral("fastTransferAction"));
    QVERIFY(fast);
    QVERIFY(fast->isCheckable());
    QVERIFY(!fast->isChecked());
    QVERIFY(!window->Updater().IsFastTransfer());
    fast->trigger();
    QVERIFY(window->Updater().IsFastTransfer());

    CBench::Load(*window);
    QVERIFY(CBench::Connect(*window));
    QSignalSpy texts(&window->StatusControl(), &CQtStatusControl::TextShown);
    QTest::mouseClick(Control<QPushButton>(window.get(), "update"), Qt::LeftButton);
    QVERIFY(WaitFor([&] { return Texts(texts).contains("Update complete"); }, 30000));
    QCOMPARE(Texts(texts), (QStringList{"Send INIT", "Start XFER", "Late reply bytes, fast transfer off",
                                        "Send PREP", "Send CLOSE", "Update complete"}));
    // The choice stays for the next update.
    QVERIFY(fast->isChecked());
}

QTEST_MAIN(CDeviceWindowTest)
#include "gui_device_window_test.moc"

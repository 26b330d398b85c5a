// The Qt main window with a simulated box: the worker's texts and bar colours painted
// in the window during an update, the "not compatible" message box, closing while it
// is open, the context menu's "Fast transfer", and the device field's hint as its
// tooltip. The behaviour behind them is the window model's, tested without a window
// in the core tests.

#include "gui/qt/MainWindow.h"
#include "tests/gui/GuiTestSupport.h"
#include "tools/fixtures/BoxSim.h"
#include "tools/fixtures/TempDir.h"
#include "tools/fixtures/ZipWriter.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <fstream>
#include <memory>

using namespace corvalin;
using namespace corvalin::guitest;

namespace
{

// The window's timer is left to the test: a tick happens when the test says so.
CWindowTiming ManualTicks()
{
    CWindowTiming timing;
    timing.m_nPresencePollMs = 24 * 3600 * 1000;
    return timing;
}

// The box's time-outs shrunk, so a silent box costs a fraction of a second.
CLinkTiming FastLink()
{
    CLinkTiming timing;
    timing.m_port.m_nIntervalMs = 30;
    timing.m_port.m_nMultiplierMs = 0;
    timing.m_port.m_nConstantMs = 40;
    timing.m_nIdleStepMs = 5;
    timing.m_nRestartPauseMs = 20;
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
    std::unique_ptr<CMainWindow> NewWindow()
    {
        auto window = std::make_unique<CMainWindow>(ManualTicks(), FastLink());
        const QString path = ToQString(m_image);
        window->SetFileChoosers([path](QWidget*, const CFileDialog&) { return path; },
                                [](QWidget*, const CFileDialog&) { return QString(); });
        window->show();
        return window;
    }

    // Ticks until the window has probed the box and shows the result.
    static bool Connect(CMainWindow& window)
    {
        for (int i = 0; i < 7; ++i)
            window.Model().OnTimer();
        return WaitFor([&] { return window.Model().IsConnected(); }, 10000);
    }

    static void Load(CMainWindow& window)
    {
        QTest::mouseClick(Control<QPushButton>(&window, "browse"), Qt::LeftButton);
    }

    // Opens the bundle and picks its first product with the keyboard.
    void LoadProduct(CMainWindow& window)
    {
        const QString bundle = ToQString(m_bundle);
        window.SetFileChoosers([bundle](QWidget*, const CFileDialog&) { return bundle; },
                               [](QWidget*, const CFileDialog&) { return QString(); });
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
    void updateRunsEndToEnd();
    void notCompatibleMessageWaitsForTheUser();
    void closesWhileTheMessageIsOpen();
    void closingDuringAnUpdateAsksFirst();
    void fastTransferIsChosenInTheContextMenu();
    void deviceFieldTooltipIsTheHint();
};

void CDeviceWindowTest::updateRunsEndToEnd()
{
    CBench bench;
    QVERIFY(bench.Plug());
    auto window = bench.NewWindow();
    bench.LoadProduct(*window);
    QVERIFY(window->Model().IsImageLoaded());
    QVERIFY(CBench::Connect(*window));
    SaveScreenshot(window.get(), QStringLiteral("main-window-connected"));

    QSignalSpy texts(window.get(), &CMainWindow::StatusShown);
    QTest::mouseClick(Control<QPushButton>(window.get(), "update"), Qt::LeftButton);
    QVERIFY(WaitFor([&] { return !window->Updater().IsUpdating() && Status(*window).contains("complete"); },
                    30000));
    QCOMPARE(Texts(texts),
             (QStringList{"Send INIT", "Start XFER", "Send PREP", "Send CLOSE", "Update complete"}));
    QCOMPARE(Bar(*window)->value(), 100);
    QCOMPARE(Bar(*window)->palette().color(QPalette::Highlight), QColor(0, 255, 0));
    const QColor painted = PaintedBarColor(Bar(*window));
    QVERIFY2(painted.green() > 180 && painted.red() < 100 && painted.blue() < 100,
             qPrintable(painted.name()));
    SaveScreenshot(window.get(), QStringLiteral("main-window-update-complete"));
}

void CDeviceWindowTest::notCompatibleMessageWaitsForTheUser()
{
    CBench bench;
    QVERIFY(bench.Plug({"--prep-status", "2"}));
    auto window = bench.NewWindow();
    CBench::Load(*window);
    QVERIFY(CBench::Connect(*window));

    QTest::mouseClick(Control<QPushButton>(window.get(), "update"), Qt::LeftButton);
    QVERIFY(WaitFor([&] { return window->OpenNoticeBox() != nullptr; }, 30000));
    QMessageBox* box = window->OpenNoticeBox();
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
    const QColor painted = PaintedBarColor(Bar(*window));
    QVERIFY2(painted.blue() > 90 && painted.red() < 60 && painted.green() < 60, qPrintable(painted.name()));
}

void CDeviceWindowTest::closesWhileTheMessageIsOpen()
{
    CBench bench;
    QVERIFY(bench.Plug({"--prep-status", "1"}));
    auto window = bench.NewWindow();
    CBench::Load(*window);
    QVERIFY(CBench::Connect(*window));
    QTest::mouseClick(Control<QPushButton>(window.get(), "update"), Qt::LeftButton);
    QVERIFY(WaitFor([&] { return window->OpenNoticeBox() != nullptr; }, 30000));

    // The close box (Cancel) while the worker waits on the message; the update still
    // runs, so the window asks first.
    CModalDriver yes(window.get(), [](QWidget* question)
                     { QTest::mouseClick(Control<QPushButton>(question, "yesButton"), Qt::LeftButton); });
    window->reject();
    QVERIFY(yes.Acted());
    QVERIFY(WaitFor([&] { return !window->Updater().IsWorkerRunning(); }, 10000));
    window.reset();
}

void CDeviceWindowTest::closingDuringAnUpdateAsksFirst()
{
    CBench bench;
    QVERIFY(bench.Plug({"--flash-ms", "100"}));
    auto window = bench.NewWindow();
    CBench::Load(*window);
    QVERIFY(CBench::Connect(*window));
    QTest::mouseClick(Control<QPushButton>(window.get(), "update"), Qt::LeftButton);
    QVERIFY(WaitFor([&] { return Status(*window) == QLatin1String("Start XFER"); }, 30000));

    // Escape asks, with No as the default; No keeps the window and the update.
    QString text;
    bool warns = false;
    bool noIsDefault = false;
    {
        CModalDriver no(window.get(),
                        [&](QWidget* question)
                        {
                            auto* box = qobject_cast<QMessageBox*>(question);
                            QVERIFY(box);
                            text = box->text();
                            warns = box->icon() == QMessageBox::Warning;
                            noIsDefault = box->defaultButton() == Control<QPushButton>(box, "noButton");
                            SaveScreenshot(box, QStringLiteral("close-question-during-update"));
                            QTest::mouseClick(Control<QPushButton>(box, "noButton"), Qt::LeftButton);
                        });
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QVERIFY(no.Acted());
    }
    QVERIFY2(text.startsWith(QLatin1String("An update is running.")), qPrintable(text));
    QVERIFY(warns);
    QVERIFY(noIsDefault);
    QVERIFY(window->isVisible());
    QVERIFY(window->Updater().IsUpdating());

    // "Close" asks too; Yes closes the window and stops the update.
    CModalDriver yes(window.get(), [](QWidget* question)
                     { QTest::mouseClick(Control<QPushButton>(question, "yesButton"), Qt::LeftButton); });
    QTest::mouseClick(Control<QPushButton>(window.get(), "close"), Qt::LeftButton);
    QVERIFY(yes.Acted());
    QVERIFY(!window->isVisible());
    QVERIFY(WaitFor([&] { return !window->Updater().IsUpdating(); }, 10000));
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
    QSignalSpy texts(window.get(), &CMainWindow::StatusShown);
    QTest::mouseClick(Control<QPushButton>(window.get(), "update"), Qt::LeftButton);
    QVERIFY(WaitFor([&] { return Texts(texts).contains("Update complete"); }, 30000));
    QCOMPARE(Texts(texts), (QStringList{"Send INIT", "Start XFER", "Late reply bytes, fast transfer off",
                                        "Send PREP", "Send CLOSE", "Update complete"}));
    // The choice stays for the next update.
    QVERIFY(fast->isChecked());
}

void CDeviceWindowTest::deviceFieldTooltipIsTheHint()
{
    // A CP210x that brltty took: in the system's USB devices, with no tty.
    CBench bench;
    const std::filesystem::path sysfs = bench.m_dir / "sys";
    const std::filesystem::path bridge = sysfs / "bus/usb/devices/1-1";
    std::filesystem::create_directories(bridge);
    std::filesystem::create_directories(sysfs / "bus/usb/devices/1-1:1.0");
    std::ofstream(bridge / "idVendor") << "10c4\n";
    std::ofstream(bridge / "idProduct") << "ea60\n";
    auto window = bench.NewWindow();
    window->Model().SetSysfsRoot(sysfs);
    window->Model().OnTimer();
    auto* device = Control<QLineEdit>(window.get(), "device");
    QCOMPARE(device->text(), QStringLiteral("Not connected"));
    QVERIFY2(device->toolTip().contains("brltty"), qPrintable(device->toolTip()));

    // A listed box needs no hint.
    QVERIFY(bench.Plug());
    QVERIFY(CBench::Connect(*window));
    QVERIFY(device->text().endsWith(" | BOX | 00001234"));
    QCOMPARE(device->toolTip(), QString());
}

QTEST_MAIN(CDeviceWindowTest)
#include "gui_device_window_test.moc"

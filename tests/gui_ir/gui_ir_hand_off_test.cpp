// The hand-off step the window runs after opening an image: the dialog opens only for
// an image with IR button parameters, its codes reach only the slots that exist, and
// cancelling leaves the header byte for byte as it was.

#include "gui/qt/CodeSelectionDlg.h"
#include "gui/qt/CodeSelectionHandOff.h"
#include "tests/gui_ir/IrGuiTestSupport.h"
#include "tools/fixtures/ImageBuilder.h"
#include "tools/fixtures/TempDir.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>

using namespace corvalin;
using namespace corvalin::fixtures;
using namespace corvalin::irguitest;

namespace
{

constexpr uint32_t kIrBtn3 = 0x50160003; // function key 2, "Vol +"
constexpr uint32_t kIrBtn0 = 0x5016000A; // function key 9, "Mute"
constexpr uint32_t kIrTypeId = 0x60150003;
constexpr uint32_t kVolume = 0x20010001;
constexpr uint32_t kDemoVolPlus = 0xFD02FB04; // NEC address 04, command 02
constexpr uint32_t kDemoMute = 0xF609FB04;    // NEC address 04, command 09

// Acts on the code selection dialog once it runs modally; counts the dialogs seen.
class CDialogDriver
{
  public:
    explicit CDialogDriver(std::function<void(CCodeSelectionDlg&)> action) : m_action(std::move(action))
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this]
                         {
                             auto* dialog =
                                 qobject_cast<CCodeSelectionDlg*>(QApplication::activeModalWidget());
                             if (dialog && dialog->isVisible() && dialog != m_pLast)
                             {
                                 m_pLast = dialog;
                                 ++m_nSeen;
                                 m_action(*dialog);
                             }
                         });
        m_timer.start();
    }

    int Seen() const { return m_nSeen; }

  private:
    std::function<void(CCodeSelectionDlg&)> m_action;
    QTimer m_timer;
    QWidget* m_pLast = nullptr;
    int m_nSeen = 0;
};

} // namespace

class HandOffTest : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void ImageWithoutIrButtonsShowsNoDialog();
    void CodesReachOnlyExistingSlots();
    void CancelChangesNothing();
    void EnterWritesThePicksToo();
    void FullListGetsNoIrTypeButTheCodes();

  private:
    std::unique_ptr<CTempDir> m_pDir;
    QString m_demo;
};

void HandOffTest::init()
{
    m_pDir = std::make_unique<CTempDir>();
    const auto path = *m_pDir / "demo.ccf";
    WriteFileBytes(path, BuildDemoCcf());
    m_demo = ToQString(path);
}

void HandOffTest::ImageWithoutIrButtonsShowsNoDialog()
{
    ImageHeader header = MakeImageHeader({{kVolume, 20}, {kIrTypeId, 0}});
    const ImageHeader before = header;
    CDialogDriver driver([](CCodeSelectionDlg& dialog) { dialog.reject(); });
    QCOMPARE(RunCodeSelectionHandOff(nullptr, header), EIrHandOffResult::NoIrButtons);
    QTest::qWait(20);
    QCOMPARE(driver.Seen(), 0);
    QVERIFY(header == before);
}

void HandOffTest::CodesReachOnlyExistingSlots()
{
    ImageHeader header = MakeImageHeader({{kVolume, 20}, {kIrBtn3, 0x11}, {kIrBtn0, 0x22}, {kIrBtn3, 0x33}});
    ImageHeader expected = header;
    CDialogDriver driver(
        [this](CCodeSelectionDlg& dialog)
        {
            dialog.SourceFileBox()->setText(m_demo);
            // Every default name of the demo remote is assigned; "Menu" goes to
            // "Phone Pick Up", whose parameter the image lacks.
            QCOMPARE(int(dialog.SourceKeys().size()), 8);
            dialog.SourceKeys()[7]->click();
            dialog.FunctionKey(12)->click();
            dialog.Button(kOkId)->click();
        });
    QCOMPARE(RunCodeSelectionHandOff(nullptr, header), EIrHandOffResult::Written);
    QCOMPARE(driver.Seen(), 1);

    // Both "IR.BTN3" slots get "Vol +", "IR.BTN0" gets "Mute"; "IR TYPE" 0 takes the
    // terminator's slot and the terminator moves one on.
    SetParamValue(expected, 1, kDemoVolPlus);
    SetParamValue(expected, 2, kDemoMute);
    SetParamValue(expected, 3, kDemoVolPlus);
    SetParamId(expected, 4, kIrTypeId);
    SetParamValue(expected, 4, 0);
    SetParamId(expected, 5, kParamTerminator);
    SetParamValue(expected, 5, kParamTerminator);
    QVERIFY(header == expected);
}

void HandOffTest::CancelChangesNothing()
{
    for (int way = 0; way < 3; ++way)
    {
        ImageHeader header = MakeImageHeader({{kIrBtn3, 0x11}, {kIrBtn0, 0x22}});
        const ImageHeader before = header;
        CDialogDriver driver(
            [this, way](CCodeSelectionDlg& dialog)
            {
                dialog.SourceFileBox()->setText(m_demo);
                if (way == 0)
                    dialog.Button(kCancelId)->click();
                else if (way == 1)
                    QTest::keyClick(&dialog, Qt::Key_Escape);
                else
                    dialog.close();
            });
        QCOMPARE(RunCodeSelectionHandOff(nullptr, header), EIrHandOffResult::Cancelled);
        QCOMPARE(driver.Seen(), 1);
        QVERIFY2(header == before, qPrintable(QString::number(way)));
    }
}

void HandOffTest::EnterWritesThePicksToo()
{
    ImageHeader header = MakeImageHeader({{kIrBtn0, 0x22}});
    CDialogDriver driver(
        [this](CCodeSelectionDlg& dialog)
        {
            dialog.SourceFileBox()->setText(m_demo);
            dialog.FunctionKey(9)->setFocus();
            QTest::keyClick(dialog.FunctionKey(9), Qt::Key_Enter, Qt::KeypadModifier);
        });
    QCOMPARE(RunCodeSelectionHandOff(nullptr, header), EIrHandOffResult::Written);
    QCOMPARE(GetParamValue(header, 0), kDemoMute);
    QCOMPARE(GetParamId(header, 1), kIrTypeId);
    QCOMPARE(GetParamId(header, 2), kParamTerminator);
}

void HandOffTest::FullListGetsNoIrTypeButTheCodes()
{
    // 49 parameters and the terminator in slot 49: no room for "IR TYPE".
    std::vector<std::pair<uint32_t, uint32_t>> params(49, {kVolume, 1});
    params[10] = {kIrBtn3, 0x11};
    ImageHeader header = MakeImageHeader(params);
    QCOMPARE(GetParamId(header, 49), kParamTerminator);
    CDialogDriver driver(
        [this](CCodeSelectionDlg& dialog)
        {
            dialog.SourceFileBox()->setText(m_demo);
            dialog.Button(kOkId)->click();
        });
    QCOMPARE(RunCodeSelectionHandOff(nullptr, header), EIrHandOffResult::Written);
    QCOMPARE(GetParamValue(header, 10), kDemoVolPlus);
    for (int slot = 0; slot < kParamSlots; ++slot)
        QVERIFY(GetParamId(header, slot) != kIrTypeId);
    QCOMPARE(GetParamId(header, 49), kParamTerminator);
}

QTEST_MAIN(HandOffTest)
#include "gui_ir_hand_off_test.moc"

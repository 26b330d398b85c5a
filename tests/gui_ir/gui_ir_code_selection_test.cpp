// The code selection dialog driven through its controls: layout and tab order,
// loading (typed, browsed, failing), picks and assignments with their texts, ERASE,
// CLEAR ALL, DEFAULT, OK, CANCEL and Enter, and the screenshots.

#include "gui/qt/CodeSelectionDlg.h"
#include "ir/KeyBitmap.h"
#include "tests/gui_ir/IrGuiTestSupport.h"
#include "tools/fixtures/TempDir.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

using namespace corvalin;
using namespace corvalin::fixtures;
using namespace corvalin::irguitest;

namespace
{

constexpr int kVolMinus = 1002, kVolPlus = 1004, kMute = 1011, kTrackUp = 1013, kPickUp = 1014;
constexpr int kShownKeys[] = {1002, 1004, 1006, 1012, 1011, 1013, 1014, 1015};
constexpr int kHiddenKeys[] = {1003, 1005, 1007, 1008, 1009, 1010};

// A dialog whose message boxes are recorded instead of shown.
class CTestDialog
{
  public:
    CTestDialog()
    {
        m_dialog.SetMessageHook([this](const QString& text) { m_messages << text; });
    }

    CCodeSelectionDlg* operator->() { return &m_dialog; }
    CCodeSelectionDlg& operator*() { return m_dialog; }

    void Show()
    {
        m_dialog.show();
        m_dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&m_dialog));
    }

    void Load(const std::filesystem::path& path) { m_dialog.SourceFileBox()->setText(ToQString(path)); }

    CSourceKeyButton* KeyLabelled(const QString& label)
    {
        for (CSourceKeyButton* key : m_dialog.SourceKeys())
            if (key->Label() == label)
                return key;
        return nullptr;
    }

    void Click(int id)
    {
        QAbstractButton* button = m_dialog.findChild<QAbstractButton*>(QStringLiteral("control%1").arg(id));
        QVERIFY2(button, qPrintable(QString::number(id)));
        button->click();
    }

    // Clicks a source key the way the mouse does: the key takes the focus first.
    void ClickWithFocus(QAbstractButton* key)
    {
        if (!m_dialog.isVisible())
            Show();
        key->setFocus();
        QTRY_VERIFY(key->hasFocus());
        QTest::mouseClick(key, Qt::LeftButton);
    }

    QString CodeText() { return m_dialog.CodeText()->text(); }
    QString FunctionText() { return m_dialog.FunctionText()->text(); }

    CCodeSelectionDlg m_dialog;
    QStringList m_messages;
};

// Ends the modal dialog from inside its event loop with `action`.
void WhenModal(CCodeSelectionDlg& dialog, std::function<void()> action)
{
    QTimer::singleShot(0, &dialog,
                       [&dialog, action]
                       {
                           QTRY_VERIFY(dialog.isVisible());
                           action();
                       });
}

std::vector<uint32_t> Zeros()
{
    return std::vector<uint32_t>(14, 0);
}

} // namespace

class CodeSelectionDlgTest : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void LayoutFollowsTheTemplate();
    void SourceKeysLieAtTheirProntoPositionPlusTheOffset();
    void DefaultNamesAssignOnLoad();
    void PickAndAssignShowTheTexts();
    void SecondClickWithdrawsAndFocusLossClearsTheToggle();
    void EraseThenAFunctionKeyClearsIt();
    void ClearAllAndDefault();
    void OnlyTheFirstHundredAndOneKeysAreMade();
    void HostileFilesOpenAndPaint();
    void TypingAPathTriesOnlyExistingFiles();
    void FailedLoadsKeepWhatIsShown();
    void FileWithoutCodesRemovesTheKeys();
    void OkCancelEscapeAndCloseBox();
    void EnterActsAsOk();
    void EnterOnAFocusedPushButtonPressesIt();
    void SourceKeysFromTheKeyboard();
    void DroppedCcfFileIsTheSource();
    void BrowseOffersCcfFilesAndLoadsTheChoice();
    void MessagesAreOkBoxesCaptionedCorvalin();
    void F1ShowsTheAboutBox();
    void ColourAndUdbFilesShowTheKeysOfTheirGreyTwin();
    void Screenshots();

  private:
    std::unique_ptr<CTempDir> m_pDir;
    std::filesystem::path m_remote;
    std::filesystem::path m_noCodes;
    std::filesystem::path m_many;
    std::filesystem::path m_demo;
};

void CodeSelectionDlgTest::init()
{
    m_pDir = std::make_unique<CTempDir>();
    m_remote = *m_pDir / "remote.ccf";
    WriteFileBytes(m_remote, BuildTestRemote());
    m_noCodes = *m_pDir / "nocodes.ccf";
    WriteFileBytes(m_noCodes, BuildRemoteWithoutCodes());
    m_many = *m_pDir / "many.ccf";
    WriteFileBytes(m_many, BuildRemoteWithKeys(102));
    m_demo = *m_pDir / "demo.ccf";
    WriteFileBytes(m_demo, BuildDemoCcf());
}

void CodeSelectionDlgTest::LayoutFollowsTheTemplate()
{
    CTestDialog dialog;
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Code Selection"));
    // Dialog units: x by a quarter of the average character width, y by an eighth of
    // the character height.
    const QFontMetrics metrics(dialog->font());
    const int baseX =
        (metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
             26 +
         1) /
        2;
    const int baseY = metrics.height();
    auto du = [&](int x, int y, int w, int h)
    { return QRect((x * baseX + 2) / 4, (y * baseY + 4) / 8, (w * baseX + 2) / 4, (h * baseY + 4) / 8); };
    // The source keys' pixel places assume the template's 8-point face.
    QCOMPARE(dialog->font().pointSize(), 8);
    QCOMPARE(dialog->size(), du(0, 0, 438, 342).size());
    QCOMPARE(dialog->Button(kOkId)->geometry(), du(324, 309, 43, 19));
    QCOMPARE(dialog->Button(kEraseId)->geometry(), du(195, 244, 46, 21));
    QCOMPARE(dialog->SourceFileBox()->geometry(), du(109, 36, 252, 15));
    QCOMPARE(dialog->FunctionKey(9)->geometry(), du(288, 188, 55, 21));
    QCOMPARE(dialog->FunctionKey(12)->geometry(), du(287, 98, 56, 21));
    QCOMPARE(dialog->CodeText()->geometry(), du(78, 279, 97, 12));

    QCOMPARE(dialog->Button(kBrowseId)->text(), QStringLiteral("..."));
    QCOMPARE(dialog->Button(kClearAllId)->text(), QStringLiteral("CLEAR ALL"));
    QCOMPARE(dialog->Button(kDefaultId)->text(), QStringLiteral("DEFAULT"));
    QCOMPARE(dialog->Button(kCancelId)->text(), QStringLiteral("CANCEL"));
    for (int id : {kBrowseId, kClearAllId, kCancelId, kOkId, kDefaultId, kEraseId})
        QVERIFY(!dialog->Button(id)->isDefault() && !dialog->Button(id)->autoDefault());

    dialog.Show();
    // The six hidden function keys exist and stay hidden.
    for (int id : kHiddenKeys)
    {
        auto* key = dialog->findChild<CFunctionKeyButton*>(QStringLiteral("control%1").arg(id));
        QVERIFY(key);
        QVERIFY(!key->isVisible());
        QCOMPARE(key->text(), QString::number(id - 1001));
    }
    for (int id : kShownKeys)
        QVERIFY(dialog->findChild<CFunctionKeyButton*>(QStringLiteral("control%1").arg(id))->isVisible());
    QCOMPARE(dialog->FunctionKey(10)->text(), QStringLiteral("Track Down"));

    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dialog->SourceFileBox()));
    // The focus starts in the source file box; Tab follows the layout.
    const QStringList expected = {"control1001", "control1022", "control1014", "control1015", "control1004",
                                  "control1013", "control1002", "control1012", "control1011", "control1006",
                                  "control1016", "control1020", "control1018", "control1017", "control1000"};
    QStringList order;
    for (int i = 0; i < expected.size(); ++i)
    {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(order, expected);
}

void CodeSelectionDlgTest::SourceKeysLieAtTheirProntoPositionPlusTheOffset()
{
    CTestDialog dialog;
    dialog.Load(m_remote);
    QVERIFY(dialog.m_messages.isEmpty());
    const std::vector<CSourceKeyButton*>& keys = dialog->SourceKeys();
    QCOMPARE(int(keys.size()), 9);
    // Pronto (0, 0), 60 x 20: pixels (80, 150) to (140, 170) of the client area.
    QCOMPARE(keys[0]->geometry(), QRect(80, 150, 60, 20));
    QCOMPARE(keys[3]->geometry(), QRect(140, 170, 60, 20));
    // Reached by a click, not by Tab.
    QCOMPARE(keys[0]->focusPolicy(), Qt::ClickFocus);
    for (std::size_t n = 0; n < keys.size(); ++n)
        QCOMPARE(keys[n]->objectName(), QStringLiteral("control%1").arg(2000 + int(n)));
    QCOMPARE(keys[6]->Label(), QString(QChar(0xAA)));
    QCOMPARE(keys[0]->Protocol(), EIrProtocol::Nec);
    QCOMPARE(keys[0]->Code(), 0x1FEu);

    // Reading the file again makes the keys anew, numbered from 2000 again.
    dialog.Load(m_demo);
    QCOMPARE(int(dialog->SourceKeys().size()), 8);
    QCOMPARE(dialog->SourceKeys()[0]->objectName(), QStringLiteral("control2000"));
    QCOMPARE(dialog->findChildren<CSourceKeyButton*>().size(), 8);
}

void CodeSelectionDlgTest::DefaultNamesAssignOnLoad()
{
    CTestDialog dialog;
    dialog.Load(m_remote);
    // "Vol+" reaches "Vol +"; "vol+" and "Vol +" do not; the later "Mute" wins.
    QCOMPARE(dialog->FunctionKey(2)->Code(), 0xFD02FB04u);
    QCOMPARE(dialog->FunctionKey(9)->Code(), 0xF50AFB04u);
    QCOMPARE(dialog->FunctionKey(0)->Protocol(), EIrProtocol::Sony12); // "Vol-", SONY12
    QCOMPARE(dialog->FunctionKey(10)->Code(), 0x161u);                 // AA hex
    QCOMPARE(dialog->FunctionKey(11)->Code(), 0x160u);                 // BA hex
    QCOMPARE(dialog->FunctionKey(4)->Protocol(), EIrProtocol::Empty);  // no "Source" in the file

    dialog.Click(kOkId);
    QCOMPARE(dialog->result(), kCodeSelectionOk);
    std::vector<uint32_t> expected = Zeros();
    expected[0] = 0x93;
    expected[2] = 0xFD02FB04;
    expected[9] = 0xF50AFB04;
    expected[10] = 0x161;
    expected[11] = 0x160;
    QCOMPARE(dialog->Codes(), expected);
}

void CodeSelectionDlgTest::PickAndAssignShowTheTexts()
{
    CTestDialog dialog;
    dialog.Load(m_remote);
    dialog.Click(kClearAllId);
    dialog.Show();

    dialog.ClickWithFocus(dialog.KeyLabelled("Pick"));
    QCOMPARE(dialog.CodeText(), QStringLiteral(" (NEC)  0x1FE"));
    dialog.Click(kMute);
    QCOMPARE(dialog.FunctionText(), QStringLiteral("Mute: (NEC)  0x1FE"));
    QCOMPARE(dialog.CodeText(), QString());
    QCOMPARE(dialog->FunctionKey(9)->Protocol(), EIrProtocol::Nec);
    // Without a pick a function key only shows what it holds.
    dialog.Click(kTrackUp);
    QCOMPARE(dialog.FunctionText(), QStringLiteral("Track Up: (EMPTY)"));
    QCOMPARE(dialog->FunctionKey(11)->Code(), 0u);

    // "Vol+" assigned to "Vol -" by hand.
    dialog.ClickWithFocus(dialog.KeyLabelled("Vol+"));
    QCOMPARE(dialog.CodeText(), QStringLiteral(" (NEC)  0xFD02FB04"));
    dialog.Click(kVolMinus);
    QCOMPARE(dialog.FunctionText(), QStringLiteral("Vol -: (NEC)  0xFD02FB04"));

    dialog.Click(kOkId);
    std::vector<uint32_t> expected = Zeros();
    expected[0] = 0xFD02FB04;
    expected[9] = 0x1FE;
    QCOMPARE(dialog->Codes(), expected);
}

void CodeSelectionDlgTest::SecondClickWithdrawsAndFocusLossClearsTheToggle()
{
    CTestDialog dialog;
    dialog.Load(m_remote);
    dialog.Show();
    CSourceKeyButton* pick = dialog.KeyLabelled("Pick");
    const CSourceKeyState* state = dialog->Logic().FindSourceKey(2000);

    dialog.ClickWithFocus(pick);
    QVERIFY(state->m_bToggled);
    QCOMPARE(dialog.CodeText(), QStringLiteral(" (NEC)  0x1FE"));
    // A second click while the key keeps the focus withdraws the pick and hands the
    // focus to the IR code text.
    QTest::mouseClick(pick, Qt::LeftButton);
    QVERIFY(!state->m_bToggled);
    QCOMPARE(dialog.CodeText(), QString());
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dialog->CodeText()));

    // A toggled key that loses the focus to a function key is drawn again, untoggled:
    // the next click on it picks again.
    dialog.ClickWithFocus(pick);
    QVERIFY(state->m_bToggled);
    dialog->FunctionKey(12)->setFocus();
    QTRY_VERIFY(!state->m_bToggled);
    dialog.ClickWithFocus(pick);
    QCOMPARE(dialog.CodeText(), QStringLiteral(" (NEC)  0x1FE"));
    dialog.Click(kPickUp);
    QCOMPARE(dialog.FunctionText(), QStringLiteral("Phone Pick Up: (NEC)  0x1FE"));
}

void CodeSelectionDlgTest::EraseThenAFunctionKeyClearsIt()
{
    CTestDialog dialog;
    dialog.Load(m_remote);
    QVERIFY(dialog->FunctionKey(0)->Code() != 0);
    dialog.Click(kEraseId);
    QCOMPARE(dialog.CodeText(), QStringLiteral(" (EMPTY) "));
    dialog.Click(kVolMinus);
    QCOMPARE(dialog.FunctionText(), QStringLiteral("Vol -: (EMPTY)"));
    QCOMPARE(dialog.CodeText(), QString());
    QCOMPARE(dialog->FunctionKey(0)->Protocol(), EIrProtocol::Empty);
    dialog.Click(kOkId);
    QCOMPARE(dialog->Codes()[0], 0u);
    QCOMPARE(dialog->Codes()[2], 0xFD02FB04u); // the other keys keep theirs
}

void CodeSelectionDlgTest::ClearAllAndDefault()
{
    CTestDialog dialog;
    // DEFAULT with an empty source file box only clears.
    dialog.Click(kDefaultId);
    QVERIFY(dialog.m_messages.isEmpty());
    QVERIFY(dialog->SourceKeys().empty());

    dialog.Load(m_remote);
    dialog.Click(kMute);
    QCOMPARE(dialog.FunctionText(), QStringLiteral("Mute: (NEC)  0xF50AFB04"));
    dialog.Click(kEraseId);
    dialog.Click(kClearAllId);
    QCOMPARE(dialog.FunctionText(), QString());
    QCOMPARE(dialog.CodeText(), QStringLiteral(" (EMPTY) ")); // the pending pick stays
    for (int k = 0; k < kFunctionKeyCount; ++k)
        QCOMPARE(dialog->FunctionKey(k)->Protocol(), EIrProtocol::Empty);

    // DEFAULT with a file: cleared, read again, the default names assigned anew;
    // a hand assignment to a key without a default name is gone.
    dialog.ClickWithFocus(dialog.KeyLabelled("Pick"));
    dialog.Click(kPickUp);
    QCOMPARE(dialog->FunctionKey(12)->Code(), 0x1FEu);
    CSourceKeyButton* before = dialog->SourceKeys()[0];
    QPointer<CSourceKeyButton> watch(before);
    dialog.Click(kDefaultId);
    QVERIFY(watch.isNull());
    QCOMPARE(int(dialog->SourceKeys().size()), 9);
    QCOMPARE(dialog->FunctionKey(12)->Code(), 0u);
    QCOMPARE(dialog->FunctionKey(2)->Code(), 0xFD02FB04u);
    QCOMPARE(dialog.FunctionText(), QString());

    // DEFAULT after the box was emptied clears and keeps the keys shown.
    dialog->SourceFileBox()->clear();
    dialog.Click(kDefaultId);
    QCOMPARE(int(dialog->SourceKeys().size()), 9);
    QCOMPARE(dialog->FunctionKey(2)->Code(), 0u);
    QVERIFY(dialog.m_messages.isEmpty());
}

void CodeSelectionDlgTest::OnlyTheFirstHundredAndOneKeysAreMade()
{
    CTestDialog dialog;
    dialog.Load(m_many);
    QCOMPARE(int(dialog->SourceKeys().size()), 101);
    QCOMPARE(dialog->findChildren<CSourceKeyButton*>().size(), 101);
    QVERIFY(!dialog->findChild<CSourceKeyButton*>(QStringLiteral("control2101")));
    dialog.Show();
    dialog.ClickWithFocus(dialog->SourceKeys()[100]);
    QCOMPARE(dialog.CodeText(), QStringLiteral(" (NEC)  0x9B64FE01"));
}

// Files that once crashed or froze the window: 65,025 keys from 7 KB, frames nested
// 100,000 deep, and 20 keys of 4096 x 4096 pixels. Each is shown and painted.
void CodeSelectionDlgTest::HostileFilesOpenAndPaint()
{
    CTestDialog dialog;
    dialog.Show();
    const std::pair<const char*, Bytes> files[] = {
        {"wide.ccf", BuildWideCcf()}, {"deep.ccf", BuildDeepCcf(100000)}, {"huge.ccf", BuildHugeKeysCcf()}};
    for (const auto& [name, bytes] : files)
    {
        const std::filesystem::path path = *m_pDir / name;
        WriteFileBytes(path, bytes);
        dialog.Load(path);
        QVERIFY2(dialog.m_messages.isEmpty(), name);
        QVERIFY2(!dialog->SourceKeys().empty() && dialog->SourceKeys().size() <= 101, name);
        dialog->repaint();
        QVERIFY2(!GrabPixels(&*dialog).isNull(), name);
    }
    // The huge keys are cut to the largest size a key is drawn at.
    QCOMPARE(int(dialog->SourceKeys().size()), 20);
    for (CSourceKeyButton* key : dialog->SourceKeys())
        QCOMPARE(key->size(), QSize(kMaxKeySide, kMaxKeySide));
}

void CodeSelectionDlgTest::TypingAPathTriesOnlyExistingFiles()
{
    CTestDialog dialog;
    dialog.Show();
    QLineEdit* box = dialog->SourceFileBox();
    box->setFocus();
    // Every prefix of the path names no file: no message until the whole path does.
    QTest::keyClicks(box, ToQString(m_remote));
    QVERIFY(dialog.m_messages.isEmpty());
    QCOMPARE(int(dialog->SourceKeys().size()), 9);

    // A path that is no file is reported once, when the typing ends with Enter.
    box->clear();
    QTest::keyClicks(box, ToQString(*m_pDir / "missing.ccf"));
    QVERIFY(dialog.m_messages.isEmpty());
    QTest::keyClick(box, Qt::Key_Return);
    QTRY_COMPARE(dialog.m_messages, QStringList{QStringLiteral("CAN NOT OPEN")});
    QVERIFY(dialog->isVisible()); // Enter in the box finishes the path, not the dialog
    QCOMPARE(int(dialog->SourceKeys().size()), 9);

    // ...or when the focus leaves the box.
    dialog.m_messages.clear();
    QTest::keyClicks(box, QStringLiteral("x"));
    dialog->FunctionKey(0)->setFocus();
    QTRY_COMPARE(dialog.m_messages, QStringList{QStringLiteral("CAN NOT OPEN")});
    QTest::qWait(20);
    QCOMPARE(dialog.m_messages.size(), 1);
}

void CodeSelectionDlgTest::FailedLoadsKeepWhatIsShown()
{
    CTestDialog dialog;
    dialog.Load(m_remote);
    dialog.ClickWithFocus(dialog.KeyLabelled("Pick"));
    dialog.Click(kPickUp);
    dialog.ClickWithFocus(dialog.KeyLabelled("Vol+"));
    QVERIFY(!dialog.CodeText().isEmpty());
    QPointer<CSourceKeyButton> first(dialog->SourceKeys()[0]);

    // An existing file without the CCF signature is tried at once and reported.
    const std::filesystem::path notCcf = *m_pDir / "notes.ccf";
    WriteFileBytes(notCcf, Bytes(200, 'x'));
    dialog.Load(notCcf);
    QCOMPARE(dialog.m_messages, QStringList{QStringLiteral("CAN NOT OPEN")});
    QVERIFY(!first.isNull());
    QCOMPARE(int(dialog->SourceKeys().size()), 9);
    QCOMPARE(dialog->FunctionKey(12)->Code(), 0x1FEu);
    // The attempt dropped the pending pick.
    QCOMPARE(dialog.CodeText(), QString());

    // White space only is ignored.
    dialog.m_messages.clear();
    dialog->SourceFileBox()->setText(QStringLiteral("   "));
    QVERIFY(dialog.m_messages.isEmpty());
    QCOMPARE(int(dialog->SourceKeys().size()), 9);

    // The keys still draw from the reader they were made from.
    dialog.Show();
    QVERIFY(!GrabPixels(first).isNull());
}

void CodeSelectionDlgTest::FileWithoutCodesRemovesTheKeys()
{
    CTestDialog dialog;
    dialog.Load(m_remote);
    dialog.Load(m_noCodes);
    QCOMPARE(dialog.m_messages, QStringList{QStringLiteral("No IR code!")});
    QVERIFY(dialog->SourceKeys().empty());
    QVERIFY(dialog->findChildren<CSourceKeyButton*>().isEmpty());
    // Assignments stay.
    QCOMPARE(dialog->FunctionKey(2)->Code(), 0xFD02FB04u);
}

void CodeSelectionDlgTest::OkCancelEscapeAndCloseBox()
{
    {
        CTestDialog dialog;
        WhenModal(*dialog, [&] { dialog.Click(kOkId); });
        QCOMPARE(dialog->DoModal(), kCodeSelectionOk);
        // OK with nothing assigned: 14 zeros, the hidden keys among them.
        QCOMPARE(dialog->Codes(), Zeros());
    }
    {
        CTestDialog dialog;
        dialog.Load(m_remote);
        WhenModal(*dialog, [&] { dialog.Click(kCancelId); });
        QCOMPARE(dialog->DoModal(), kCodeSelectionCancel);
        QVERIFY(dialog->Codes().empty());
    }
    {
        CTestDialog dialog;
        WhenModal(*dialog, [&] { QTest::keyClick(&*dialog, Qt::Key_Escape); });
        QCOMPARE(dialog->DoModal(), kCodeSelectionCancel);
    }
    {
        CTestDialog dialog;
        WhenModal(*dialog, [&] { dialog->close(); });
        QCOMPARE(dialog->DoModal(), kCodeSelectionCancel);
        QVERIFY(dialog->Codes().empty());
    }
}

void CodeSelectionDlgTest::EnterActsAsOk()
{
    CTestDialog dialog;
    dialog.Load(m_remote);
    WhenModal(*dialog,
              [&]
              {
                  dialog.ClickWithFocus(dialog.KeyLabelled("Pick"));
                  dialog.Click(kPickUp);
                  QTest::keyClick(dialog->FunctionKey(12), Qt::Key_Return);
              });
    QCOMPARE(dialog->DoModal(), kCodeSelectionOk);
    QCOMPARE(int(dialog->Codes().size()), 14);
    QCOMPARE(dialog->Codes()[12], 0x1FEu);
    QCOMPARE(dialog->Codes()[9], 0xF50AFB04u);
}

void CodeSelectionDlgTest::EnterOnAFocusedPushButtonPressesIt()
{
    CTestDialog dialog;
    dialog.Load(m_remote);
    dialog.Show();
    // CLEAR ALL: the keys are cleared and the dialog stays.
    dialog->Button(kClearAllId)->setFocus();
    QTest::keyClick(dialog->Button(kClearAllId), Qt::Key_Return);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->FunctionKey(2)->Protocol(), EIrProtocol::Empty);
    // "...": the file dialog opens; cancelling it leaves the dialog open.
    bool bBrowsed = false;
    QTimer::singleShot(0,
                       [&]
                       {
                           QTRY_VERIFY(qobject_cast<QFileDialog*>(QApplication::activeModalWidget()));
                           bBrowsed = true;
                           qobject_cast<QFileDialog*>(QApplication::activeModalWidget())->reject();
                       });
    dialog->Button(kBrowseId)->setFocus();
    QTest::keyClick(dialog->Button(kBrowseId), Qt::Key_Enter, Qt::KeypadModifier);
    QVERIFY(bBrowsed);
    QVERIFY(dialog->isVisible());
    // CANCEL: the dialog ends cancelled and hands back no codes.
    WhenModal(*dialog,
              [&]
              {
                  dialog->Button(kCancelId)->setFocus();
                  QTest::keyClick(dialog->Button(kCancelId), Qt::Key_Return);
              });
    QCOMPARE(dialog->DoModal(), kCodeSelectionCancel);
    QVERIFY(dialog->Codes().empty());
}

void CodeSelectionDlgTest::SourceKeysFromTheKeyboard()
{
    CTestDialog dialog;
    dialog.Load(m_remote);
    dialog.Show();
    auto focused = [] { return QApplication::focusWidget(); };
    // Tab from "..." enters the keys at the first in reading order; the arrows walk them.
    dialog->Button(kBrowseId)->setFocus();
    QTest::keyClick(focused(), Qt::Key_Tab);
    QCOMPARE(focused(), static_cast<QWidget*>(dialog.KeyLabelled("Pick")));
    QCOMPARE(focused()->accessibleName(), QStringLiteral("Pick"));
    QTest::keyClick(focused(), Qt::Key_Right);
    QCOMPARE(focused(), static_cast<QWidget*>(dialog.KeyLabelled("Vol+")));
    QTest::keyClick(focused(), Qt::Key_Left);
    // Space picks the focused key; Tab leaves the group for ERASE.
    QTest::keyClick(focused(), Qt::Key_Space);
    QCOMPARE(dialog.CodeText(), QStringLiteral(" (NEC)  0x1FE"));
    QTest::keyClick(focused(), Qt::Key_Tab);
    QCOMPARE(focused(), static_cast<QWidget*>(dialog->Button(kEraseId)));
    // Back into the group, down a row, and Enter picks without ending the dialog.
    QTest::keyClick(focused(), Qt::Key_Backtab);
    QCOMPARE(focused(), static_cast<QWidget*>(dialog.KeyLabelled("Pick")));
    QTest::keyClick(focused(), Qt::Key_Down);
    QTest::keyClick(focused(), Qt::Key_Return);
    QCOMPARE(dialog.CodeText(), QStringLiteral(" (NEC)  0xFD02FB04"));
    QVERIFY(dialog->isVisible());
    SaveScreenshot(&*dialog, QStringLiteral("code-selection-keyboard-pick"));
    // On to "Phone Pick Up", which Space assigns the pick to.
    QTest::keyClick(focused(), Qt::Key_Tab);
    QTest::keyClick(focused(), Qt::Key_Tab);
    QCOMPARE(focused(), static_cast<QWidget*>(dialog->FunctionKey(12)));
    QTest::keyClick(focused(), Qt::Key_Space);
    QCOMPARE(dialog->FunctionKey(12)->Code(), 0xFD02FB04u);
}

void CodeSelectionDlgTest::DroppedCcfFileIsTheSource()
{
    CTestDialog dialog;
    dialog.Show();
    auto drop = [&](const std::filesystem::path& path)
    {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(ToQString(path))});
        const QPoint at = dialog->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&*dialog, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&*dialog, &dropped);
        return true;
    };
    QVERIFY(!drop(*m_pDir / "bundle.zip"));
    QVERIFY(drop(m_remote));
    QCOMPARE(dialog->SourceFileBox()->text(), ToQString(m_remote));
    QCOMPARE(int(dialog->SourceKeys().size()), 9);
}

void CodeSelectionDlgTest::BrowseOffersCcfFilesAndLoadsTheChoice()
{
    CTestDialog dialog;
    dialog.Show();
    QStringList filters;
    bool bChosen = false;
    QTimer::singleShot(0,
                       [&]
                       {
                           QTRY_VERIFY(qobject_cast<QFileDialog*>(QApplication::activeModalWidget()));
                           auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                           filters = files->nameFilters();
                           files->setDirectory(ToQString(m_pDir->Path()));
                           files->selectFile(QStringLiteral("remote.ccf"));
                           bChosen = true;
                           static_cast<QDialog*>(files)->accept();
                       });
    dialog.Click(kBrowseId);
    QVERIFY(bChosen);
    QCOMPARE(filters, (QStringList{QStringLiteral("CCF Files (*.ccf)"), QStringLiteral("All files (*)")}));
    QCOMPARE(dialog->SourceFileBox()->text(), ToQString(m_remote));
    QCOMPARE(int(dialog->SourceKeys().size()), 9);

    // A later dialog, even in a later run, opens where that file was found; cancelling
    // it changes nothing.
    CTestDialog later;
    later.Show();
    QString folder;
    QTimer::singleShot(0,
                       [&]
                       {
                           QTRY_VERIFY(qobject_cast<QFileDialog*>(QApplication::activeModalWidget()));
                           auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                           folder = files->directory().absolutePath();
                           files->reject();
                       });
    later.Click(kBrowseId);
    QCOMPARE(folder, ToQString(m_pDir->Path()));
    QCOMPARE(later->SourceFileBox()->text(), QString());
}

void CodeSelectionDlgTest::MessagesAreOkBoxesCaptionedCorvalin()
{
    CCodeSelectionDlg dialog; // no hook: the real message box
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QAbstractButton*> buttons;
    auto answer = [&]
    {
        QTimer::singleShot(0,
                           [&]
                           {
                               QTRY_VERIFY(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()));
                               auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                               title = box->windowTitle();
                               text = box->text();
                               icon = box->icon();
                               buttons = box->buttons();
                               QCOMPARE(box->standardButtons(),
                                        QMessageBox::StandardButtons(QMessageBox::Ok));
                               box->button(QMessageBox::Ok)->click();
                           });
    };
    answer();
    dialog.SourceFileBox()->setText(ToQString(m_noCodes));
    QCOMPARE(title, QStringLiteral("Corvalin"));
    QCOMPARE(text, QStringLiteral("No IR code!"));
    QCOMPARE(icon, QMessageBox::Warning);
    QCOMPARE(buttons.size(), 1);
    // A file that is no CCF at all is an error.
    const std::filesystem::path notCcf = *m_pDir / "notes.ccf";
    WriteFileBytes(notCcf, std::vector<uint8_t>(16, 'x'));
    answer();
    dialog.SourceFileBox()->setText(ToQString(notCcf));
    QCOMPARE(text, QStringLiteral("CAN NOT OPEN"));
    QCOMPARE(icon, QMessageBox::Critical);
}

void CodeSelectionDlgTest::F1ShowsTheAboutBox()
{
    CTestDialog dialog;
    QString title;
    QTimer::singleShot(0,
                       [&]
                       {
                           QTRY_VERIFY(QApplication::activeModalWidget() != nullptr);
                           QWidget* about = QApplication::activeModalWidget();
                           title = about->windowTitle();
                           about->close();
                       });
    QTest::keyClick(dialog->Button(kOkId), Qt::Key_F1);
    QCOMPARE(title, QStringLiteral("About Corvalin"));
}

void CodeSelectionDlgTest::ColourAndUdbFilesShowTheKeysOfTheirGreyTwin()
{
    // Each source key as the dialog shows it: place, size, caption, code, and whether
    // the default names assigned it.
    auto keys = [this](const CCcfFileLayout& layout, const char* file)
    {
        const auto path = *m_pDir / file;
        WriteFileBytes(path, BuildLayoutRemote(layout));
        CTestDialog dialog;
        dialog.Load(path);
        QStringList seen;
        for (CSourceKeyButton* key : dialog->SourceKeys())
            seen << QStringLiteral("%1 %2,%3 %4x%5 %6 %7 %8")
                        .arg(key->Label())
                        .arg(key->x())
                        .arg(key->y())
                        .arg(key->width())
                        .arg(key->height())
                        .arg(int(key->Protocol()))
                        .arg(key->Code(), 0, 16)
                        .arg(key->PointSize());
        for (int k = 0; k < 14; ++k)
            seen << QStringLiteral("function %1: %2")
                        .arg(k)
                        .arg(dialog->Logic().FunctionKey(k).m_nCode, 0, 16);
        if (!dialog.m_messages.isEmpty())
            seen << dialog.m_messages;
        return seen;
    };
    const QStringList grey = keys(kCcfGrey, "grey.ccf");
    QCOMPARE(grey.size(), 22 + 14);
    QCOMPARE(keys(kCcfGreyUdb, "grey-udb.ccf"), grey);
    QCOMPARE(keys(kCcfColourUdb, "colour-udb.ccf"), grey);
    QCOMPARE(keys(kCcfColourTimers, "colour-timers.ccf"), grey);
    QCOMPARE(keys(kCcfColourTimersUdb, "colour-timers-udb.ccf"), grey);

    // The colour file's keys are drawn in colour: the 8-bit picture of "Vol+" (bytes
    // 0, 4, 8, ...) in palette colours, its caption in white (palette 215 is a grey
    // file's level 3).
    const auto path = *m_pDir / "colour.ccf";
    WriteFileBytes(path, BuildColourCcf(101));
    CTestDialog dialog;
    dialog.Load(path);
    QCOMPARE(dialog->SourceKeys().size(), std::size_t(101));
    CSourceKeyButton* first = dialog->SourceKeys()[0];
    QCOMPARE(first->CaptionColor(), QColor(0, 0, 0));
    QCOMPARE(dialog->SourceKeys()[2]->CaptionColor(), QColor(255, 0, 0));
    const QImage image = GrabPixels(first);
    // Key 0's pixel (x, y) is palette index x * 6 / 28 + 6 * (y * 6 / 20): black at
    // the top left, (51, 0, 0) from x = 5, (51, 51, 0) from y = 4.
    QCOMPARE(image.pixel(0, 0), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(5, 0), qRgb(51, 0, 0));
    QCOMPARE(image.pixel(5, 4), qRgb(51, 51, 0));
    QVERIFY(GreyAt(image, 5, 0) < 0);
}

void CodeSelectionDlgTest::Screenshots()
{
    CTestDialog dialog;
    dialog.Load(m_demo);
    dialog.Show();
    QVERIFY(!SaveScreenshot(&*dialog, QStringLiteral("code_selection_demo")).isEmpty());

    dialog.ClickWithFocus(dialog->SourceKeys()[7]); // "Menu"
    dialog.Click(kPickUp);
    dialog.ClickWithFocus(dialog->SourceKeys()[6]); // "Power"
    QVERIFY(!SaveScreenshot(&*dialog, QStringLiteral("code_selection_picked")).isEmpty());

    // A colour file: 101 keys of 256-colour bitmaps with coloured captions; and the
    // grey layout remote beside the same remote in the colour layout.
    const auto colour = *m_pDir / "colour.ccf";
    WriteFileBytes(colour, BuildColourCcf(101));
    CTestDialog colourDialog;
    colourDialog.Load(colour);
    colourDialog.Show();
    QVERIFY(!SaveScreenshot(&*colourDialog, QStringLiteral("code_selection_colour")).isEmpty());
    for (const auto& [layout, name] : {std::pair{kCcfGrey, "code_selection_layout_grey"},
                                       std::pair{kCcfColourTimersUdb, "code_selection_layout_colour"}})
    {
        const auto path = *m_pDir / (std::string(name) + ".ccf");
        WriteFileBytes(path, BuildLayoutRemote(layout));
        CTestDialog twin;
        twin.Load(path);
        twin.Show();
        QVERIFY(!SaveScreenshot(&*twin, QString::fromLatin1(name)).isEmpty());
    }
}

QTEST_MAIN(CodeSelectionDlgTest)
#include "gui_ir_code_selection_test.moc"

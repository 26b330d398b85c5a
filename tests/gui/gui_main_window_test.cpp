// The Qt main window without a box: start-up state, title, layout, About box, and each
// control reaching the window model: opening images and bundles, the value entry and
// code selection dialogs, "Wr". The behaviour behind them is tested on the model.

#include "gui/qt/CodeSelectionDlg.h"
#include "gui/qt/DialogUnits.h"
#include "gui/qt/MainWindow.h"
#include "gui/qt/SourceKeyButton.h"
#include "params/DisplayList.h"
#include "tests/gui/GuiTestSupport.h"
#include "tools/fixtures/CcfBuilder.h"
#include "tools/fixtures/TempDir.h"
#include "tools/fixtures/ZipWriter.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QUrl>

#include <memory>

using namespace corvalin;
using namespace corvalin::guitest;

namespace
{

QStringList ListLines(QWidget* window)
{
    QStringList lines;
    auto* list = Control<QListWidget>(window, "parameters");
    for (int i = 0; i < list->count(); ++i)
        lines << list->item(i)->text();
    return lines;
}

void DoubleClickRow(QWidget* window, int row)
{
    auto* list = Control<QListWidget>(window, "parameters");
    list->setCurrentRow(row);
    const QRect rect = list->visualItemRect(list->item(row));
    // Press, release, then the double-click event, as a real mouse delivers them.
    QWidget* viewport = list->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, rect.center());
    QMouseEvent press(QEvent::MouseButtonPress, rect.center(), viewport->mapToGlobal(rect.center()),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &press);
    QMouseEvent twice(QEvent::MouseButtonDblClick, rect.center(), viewport->mapToGlobal(rect.center()),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &twice);
    QMouseEvent release(QEvent::MouseButtonRelease, rect.center(), viewport->mapToGlobal(rect.center()),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &release);
}

// A window whose "..." and "Wr" dialogs answer with the given paths.
struct CWindowUnderTest
{
    CMainWindow window;
    QString openPath;
    QString savePath;
    int saveAsked = 0;
    CFileDialog openDialog;

    CWindowUnderTest()
    {
        window.SetFileChoosers(
            [this](QWidget*, const CFileDialog& dialog)
            {
                openDialog = dialog;
                return openPath;
            },
            [this](QWidget*, const CFileDialog&)
            {
                ++saveAsked;
                return savePath;
            });
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }

    void Open(const std::filesystem::path& path)
    {
        openPath = ToQString(path);
        QTest::mouseClick(Control<QPushButton>(&window, "browse"), Qt::LeftButton);
    }
    QString Status() { return Control<QLabel>(&window, "status")->text(); }
};

fixtures::CImageSpec OneParameter(uint32_t id, uint32_t value)
{
    fixtures::CImageSpec imageSpec;
    imageSpec.params = {{id, value}};
    return imageSpec;
}

} // namespace

class CMainWindowTest : public QObject
{
    Q_OBJECT

  private slots:
    void startsIdle();
    void fitsTheScreenCentred();
    void layoutFollowsDialogUnits();
    void aboutBoxFromF1AndContextMenu();
    void keysFollowTheFocusedControl();
    void droppedFileOpensAsWithBrowse();
    void storeProposesImgAndAsksBeforeReplacing();
    void openDialogStartsWhereTheLastRunFoundItsFile();
    void opensAndStoresAnImage();
    void editsEveryKindOfParameter_data();
    void editsEveryKindOfParameter();
    void opensBundlesAndChoosesProducts();
    void offersTheCodeSelectionForIrButtons();
};

// At any density (this runs on 1280 x 1024 at 96 dots per inch, and on 1024 x 768 at
// 144 and 192), the main window opens centred on the screen and the code selection dialog
// centred over it, each inside the screen's work area, the source keys inside "Source".
// A key picked from the keyboard shows its code. Screenshots are named by density.
void CMainWindowTest::fitsTheScreenCentred()
{
    fixtures::CTempDir dir;
    const std::filesystem::path remote = dir / "demo.ccf";
    fixtures::WriteFileBytes(remote, fixtures::BuildDemoCcf());
    CMainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QScreen* screen = window.screen();
    const QRect area = screen->availableGeometry();
    const QString dpi = QString::number(qRound(screen->logicalDotsPerInch() * screen->devicePixelRatio()));
    const QRect main = window.frameGeometry();
    QVERIFY2(area.contains(main), qPrintable(QStringLiteral("%1 dpi: %2x%3 in %4x%5")
                                                 .arg(dpi)
                                                 .arg(main.width())
                                                 .arg(main.height())
                                                 .arg(area.width())
                                                 .arg(area.height())));
    QVERIFY((main.center() - area.center()).manhattanLength() <= 2);
    SaveScreenshot(&window, QStringLiteral("main-window-%1dpi").arg(dpi));

    CCodeSelectionDlg selection(&window);
    selection.show();
    QVERIFY(QTest::qWaitForWindowExposed(&selection));
    const QRect rect = selection.frameGeometry();
    QVERIFY2(area.contains(rect), qPrintable(QStringLiteral("%1x%2").arg(rect.width()).arg(rect.height())));
    QVERIFY((rect.center() - main.center()).manhattanLength() <= 2);
    selection.SourceFileBox()->setText(ToQString(remote));
    QVERIFY(selection.SourceKeys().size() >= 2);
    QGroupBox* source = nullptr;
    for (QGroupBox* group : selection.findChildren<QGroupBox*>())
        if (group->title() == QStringLiteral("Source"))
            source = group;
    QVERIFY(source);
    // Inside its frame, below its title.
    const QRect inside = source->contentsRect().translated(source->pos());
    for (const CSourceKeyButton* key : selection.SourceKeys())
        QVERIFY2(inside.contains(key->geometry()), qPrintable(key->Label()));
    selection.Button(kBrowseId)->setFocus();
    QTest::keyClick(selection.Button(kBrowseId), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QVERIFY(!selection.CodeText()->text().isEmpty());
    SaveScreenshot(&selection, QStringLiteral("code-selection-keyboard-pick-%1dpi").arg(dpi));
}

void CMainWindowTest::startsIdle()
{
    CWindowUnderTest t;
    QWidget* w = &t.window;
    QVERIFY(!w->windowIcon().isNull());
    static const QRegularExpression form(
        QStringLiteral("^QUILTA Corvalin    [A-Z][a-z]{2} [ 123][0-9] [0-9]{4}$"));
    QVERIFY2(form.match(w->windowTitle()).hasMatch(), qPrintable(w->windowTitle()));
    QVERIFY(!Control<QPushButton>(w, "update")->isEnabled());
    QVERIFY(!Control<QComboBox>(w, "product")->isEnabled());
    QCOMPARE(Control<QComboBox>(w, "product")->count(), 0);
    QCOMPARE(t.Status(), QString()); // emptied when the worker takes the status line
    QCOMPARE(Control<QProgressBar>(w, "progress")->minimum(), 0);
    QCOMPARE(Control<QProgressBar>(w, "progress")->maximum(), 100);
    QCOMPARE(Control<QProgressBar>(w, "progress")->value(), 0);
    QVERIFY(Control<QLineEdit>(w, "bundlePath")->isReadOnly());
    QVERIFY(Control<QLineEdit>(w, "device")->isReadOnly());
    QCOMPARE(Control<QLineEdit>(w, "bundlePath")->text(), QString());
    QCOMPARE(Control<QPushButton>(w, "browse")->text(), QStringLiteral("..."));
    QCOMPARE(Control<QPushButton>(w, "store")->text(), QStringLiteral("Wr"));
    QCOMPARE(Control<QPushButton>(w, "update")->text(), QStringLiteral("Update"));
    QCOMPARE(Control<QPushButton>(w, "close")->text(), QStringLiteral("Close"));
    QVERIFY(Control<QPushButton>(w, "close")->isDefault());
    QCOMPARE(Control<QGroupBox>(w, "parameterGroup")->title(),
             QStringLiteral("Doubleclick parameters to change"));
    QStringList labels;
    for (QLabel* label : w->findChildren<QLabel*>())
        if (label->objectName().isEmpty())
            labels << label->text();
    labels.sort();
    QCOMPARE(labels, (QStringList{"Select bundle", "Select product", "USB Device"}));
    QCOMPARE(Control<QListWidget>(w, "parameters")->count(), 0);
    QVERIFY(!SaveScreenshot(w, QStringLiteral("main-window-idle")).isEmpty());
}

void CMainWindowTest::layoutFollowsDialogUnits()
{
    CMainWindow window;
    window.show();
    const CBaseUnits units = BaseUnitsOf(window.font());
    QVERIFY(units.m_nX > 0 && units.m_nY > 0);
    // Every character of a list line advances alike, so the values form a column.
    // (Fonts such as Noto Sans Mono are evenly spaced but do not call themselves fixed-pitch.)
    const QFontMetrics listMetrics(Control<QListWidget>(&window, "parameters")->font());
    const int advance = listMetrics.horizontalAdvance(QLatin1Char('x'));
    for (char c = ' '; c <= '~'; ++c)
        QCOMPARE(listMetrics.horizontalAdvance(QLatin1Char(c)), advance);
    // 320 x 273 dialog units: the window is wider than tall by the template's ratio,
    // whatever the font's size.
    const double ratio = double(window.width()) / window.height();
    const double expected = (320.0 * units.m_nX / 4) / (273.0 * units.m_nY / 8);
    QVERIFY(std::abs(ratio - expected) < 0.02);
    // The list sits inside its group box, the buttons inside the window.
    const QRect group = Control<QGroupBox>(&window, "parameterGroup")->geometry();
    QVERIFY(group.contains(Control<QListWidget>(&window, "parameters")->geometry()));
    QVERIFY(window.rect().contains(Control<QPushButton>(&window, "close")->geometry()));
    QVERIFY(window.rect().contains(Control<QPushButton>(&window, "browse")->geometry()));
    // A parameter line of 46 label characters and its value fit without scrolling.
    auto* list = Control<QListWidget>(&window, "parameters");
    const QString line = QString::fromStdString(
        FormatParameterLine(PadLabel("Network Shutdown delay in mSec (hex)"), 0x50050003, 0x7D0));
    QVERIFY(list->fontMetrics().horizontalAdvance(line) < list->viewport()->width() + 1);
}

void CMainWindowTest::aboutBoxFromF1AndContextMenu()
{
    CWindowUnderTest t;
    QVERIFY(QTest::qWaitForWindowExposed(&t.window));
    QString title;
    QString text;
    CModalDriver driver(&t.window,
                        [&](QWidget* about)
                        {
                            title = about->windowTitle();
                            text = Control<QLabel>(about, "aboutText")->text();
                            QVERIFY(!Control<QLabel>(about, "aboutIcon")->pixmap().isNull());
                            SaveScreenshot(about, QStringLiteral("about-box"));
                            // F1 in the box opens no second one.
                            QTest::keyClick(about, Qt::Key_F1);
                            int shown = 0;
                            for (QWidget* top : QApplication::topLevelWidgets())
                                shown += top->isVisible() && top->windowTitle() == about->windowTitle();
                            QCOMPARE(shown, 1);
                            QTest::mouseClick(Control<QPushButton>(about, "aboutOk"), Qt::LeftButton);
                        });
    QTest::keyClick(&t.window, Qt::Key_F1);
    QVERIFY(driver.Acted());
    QCOMPARE(title, QStringLiteral("About Corvalin"));
    QCOMPARE(text, QStringLiteral("Corvalin Version 1.0"));

    // The context menu offers the same entry, and the service entries after it.
    QStringList entries;
    QTimer::singleShot(50,
                       [&]
                       {
                           if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget()))
                           {
                               for (QAction* action : menu->actions())
                                   entries << action->text();
                               SaveScreenshot(menu, QStringLiteral("context-menu"));
                               menu->close();
                           }
                       });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), t.window.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&t.window, &event);
    QCOMPARE(entries,
             (QStringList{QStringLiteral("Change..."), QString(), QStringLiteral("&About Corvalin..."),
                          QStringLiteral("Fast transfer"), QString(), QStringLiteral("Save settings..."),
                          QStringLiteral("Load settings..."), QStringLiteral("Keep an update record...")}));
}

void CMainWindowTest::keysFollowTheFocusedControl()
{
    fixtures::CTempDir dir;
    CWindowUnderTest t;
    t.Open(WriteImage(dir / "switch.img", OneParameter(0x10030001, 0)));
    const auto value = [&] { return GetParamValue(t.window.Updater().Header(), 0); };

    // Enter on a focused push button presses that button, not "Close".
    auto* store = Control<QPushButton>(&t.window, "store");
    store->setFocus();
    QTest::keyClick(store, Qt::Key_Return);
    QTRY_COMPARE(t.saveAsked, 1);
    QVERIFY(t.window.isVisible());

    // In the parameter list Space and F2 change the selected line, as a double-click does.
    auto* list = Control<QListWidget>(&t.window, "parameters");
    list->setFocus();
    list->setCurrentRow(0);
    QTest::keyClick(list, Qt::Key_Space);
    QCOMPARE(value(), 1u);
    QTest::keyClick(list, Qt::Key_F2);
    QCOMPARE(value(), 0u);
    // So does the context menu's "Change...".
    t.window.findChild<QAction*>(QStringLiteral("changeAction"))->trigger();
    QCOMPARE(value(), 1u);

    // Enter on a number opens the value entry dialog and leaves the window open.
    t.Open(WriteImage(dir / "number.img", OneParameter(0x30120001, 20)));
    list->setCurrentRow(0);
    list->setFocus();
    CModalDriver driver(&t.window,
                        [](QWidget* dialog)
                        {
                            auto* edit = Control<QLineEdit>(dialog, "valueEdit");
                            edit->selectAll();
                            QTest::keyClicks(edit, QStringLiteral("7"));
                            QTest::mouseClick(Control<QPushButton>(dialog, "valueOk"), Qt::LeftButton);
                        });
    QTest::keyClick(list, Qt::Key_Return);
    QVERIFY(driver.Acted());
    QCOMPARE(GetParamValue(t.window.Updater().Header(), 0), 7u);
    QVERIFY(t.window.isVisible());

    // Elsewhere Enter presses "Close".
    auto* path = Control<QLineEdit>(&t.window, "bundlePath");
    path->setFocus();
    QTest::keyClick(path, Qt::Key_Return);
    QTRY_VERIFY(!t.window.isVisible());
}

void CMainWindowTest::droppedFileOpensAsWithBrowse()
{
    fixtures::CTempDir dir;
    const auto image = WriteImage(dir / "dropped.img", OneParameter(0x10030001, 0));
    CWindowUnderTest t;
    auto drop = [&](const QList<QUrl>& urls)
    {
        QMimeData data;
        data.setUrls(urls);
        const QPoint at = t.window.rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&t.window, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&t.window, &dropped);
        return true;
    };
    // A folder, two files or a web address are refused.
    QVERIFY(!drop({QUrl::fromLocalFile(ToQString(dir.Path()))}));
    QVERIFY(!drop({QUrl::fromLocalFile(ToQString(image)), QUrl::fromLocalFile(ToQString(image))}));
    QVERIFY(!drop({QUrl(QStringLiteral("https://example.com/x.img"))}));
    QVERIFY(drop({QUrl::fromLocalFile(ToQString(image))}));
    QCOMPARE(Control<QLineEdit>(&t.window, "bundlePath")->text(), ToQString(image));
    QCOMPARE(t.Status(), QStringLiteral("Loaded update file"));
    QCOMPARE(ListLines(&t.window).size(), 1);
}

void CMainWindowTest::openDialogStartsWhereTheLastRunFoundItsFile()
{
    fixtures::CTempDir dir;
    const auto image = WriteImage(dir / "kept.img", OneParameter(0x10030001, 0));
    {
        CWindowUnderTest first;
        first.Open(image);
        QCOMPARE(Control<QLineEdit>(&first.window, "bundlePath")->text(), ToQString(image));
    }
    CWindowUnderTest next;
    next.Open({});
    QCOMPARE(ToQString(next.openDialog.m_folder), ToQString(dir.Path()));
}

void CMainWindowTest::storeProposesImgAndAsksBeforeReplacing()
{
    fixtures::CTempDir dir;
    const auto image = WriteImage(dir / "source.img", OneParameter(0x10030001, 0));
    WriteImage(dir / "stored.img", OneParameter(0x10030001, 1));
    CMainWindow window; // the real file dialogs
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.Model().OpenFile(image);

    // "stored" typed without an extension names stored.img, which exists: the dialog asks.
    QString question;
    QString folder;
    CModalDriver save(&window,
                      [&](QWidget* dialog)
                      {
                          auto* files = qobject_cast<QFileDialog*>(dialog);
                          QVERIFY(files);
                          folder = files->directory().absolutePath();
                          files->selectFile(QStringLiteral("stored"));
                          CModalDriver no(
                              files,
                              [&](QWidget* box)
                              {
                                  question = qobject_cast<QMessageBox*>(box)->text();
                                  qobject_cast<QMessageBox*>(box)->button(QMessageBox::No)->click();
                              });
                          static_cast<QDialog*>(files)->accept();
                          QVERIFY(no.Acted());
                          files->reject();
                      });
    QTest::mouseClick(Control<QPushButton>(&window, "store"), Qt::LeftButton);
    QVERIFY(save.Acted());
    QVERIFY2(question.contains(QStringLiteral("stored.img")), qPrintable(question));
    QCOMPARE(folder, ToQString(dir.Path()));
    // Not replaced.
    CUpdater reader;
    QCOMPARE(reader.LoadImageFile(dir / "stored.img"), 1);
    QCOMPARE(GetParamValue(reader.Header(), 0), 1u);
}

void CMainWindowTest::opensAndStoresAnImage()
{
    fixtures::CTempDir dir;
    fixtures::CImageSpec imageSpec;
    imageSpec.params = fixtures::RealisticParameters(false);
    const auto good = WriteImage(dir / "good \u00E9.img", imageSpec);

    CWindowUnderTest t;
    t.Open(good);
    QCOMPARE(t.Status(), QStringLiteral("Loaded update file"));
    // The narrow status field's tooltip holds the whole text.
    QCOMPARE(Control<QLabel>(&t.window, "status")->toolTip(), t.Status());
    QCOMPARE(Control<QLineEdit>(&t.window, "bundlePath")->text(), ToQString(good));
    CParameterTable table;
    BuildParameterTable(table);
    const CDisplayList expected = BuildDisplayList(table, t.window.Updater().Header());
    QCOMPARE(ListLines(&t.window).size(), int(expected.m_lines.size()));
    QCOMPARE(ListLines(&t.window).first(), QString::fromStdString(expected.m_lines.front()));
    SaveScreenshot(&t.window, QStringLiteral("main-window-image-loaded"));

    t.savePath = ToQString(dir / "stored \u00E9.img");
    QTest::mouseClick(Control<QPushButton>(&t.window, "store"), Qt::LeftButton);
    QCOMPARE(t.Status(), QStringLiteral("Image stored"));
    QCOMPARE(Control<QLineEdit>(&t.window, "bundlePath")->text(), t.savePath);
    QVERIFY(std::filesystem::exists(dir / "stored \u00E9.img"));
}

void CMainWindowTest::editsEveryKindOfParameter_data()
{
    QTest::addColumn<uint>("id");
    QTest::addColumn<uint>("value");
    QTest::addColumn<QString>("prefill"); // edit text, or the chosen entry's text
    QTest::addColumn<QString>("action");  // "toggle", "type:TEXT", "choose:INDEX", "ok", "cancel"
    QTest::addColumn<uint>("expected");
    QTest::addColumn<QString>("shown"); // the value text at the end of the list line

    const uint rearCamera = 0x10030001, volume = 0x30120001, delay = 0x50050003;
    const uint volvo = 0x601A0001, make = 0x60050001;
    QTest::newRow("switch 0 toggles to 1") << rearCamera << 0u << ""
                                           << "toggle" << 1u << "ON";
    QTest::newRow("decimal 12abc") << volume << 20u << "20"
                                   << "type:12abc" << 12u << "012";
    QTest::newRow("decimal abc") << volume << 20u << "20"
                                 << "type:abc" << 0u << "000";
    QTest::newRow("decimal negative prefill") << volume << 0xFFFFFFFEu << "-2"
                                              << "ok" << 0xFFFFFFFEu << "-002";
    QTest::newRow("hex prefill 1F4") << delay << 0x1F4u << "1F4"
                                     << "ok" << 0x1F4u << "$000001F4";
    QTest::newRow("hex 0x10") << delay << 0u << "0"
                              << "type:0x10" << 0x10u << "$00000010";
    QTest::newRow("hex FFFFFFFF saturates") << delay << 0u << "0"
                                            << "type:FFFFFFFF" << 0x7FFFFFFFu << "$7FFFFFFF";
    QTest::newRow("hex -1") << delay << 0u << "0"
                            << "type:-1" << 0xFFFFFFFFu << "$FFFFFFFF";
    QTest::newRow("volvo 12 opens at C30") << volvo << 12u << "C30"
                                           << "ok" << 0u << "C30";
    QTest::newRow("volvo FFFFFFFF selects nothing") << volvo << 0xFFFFFFFFu << ""
                                                    << "ok" << 0xFFFFFFFFu << "-1";
    QTest::newRow("volvo V70 to XC90") << volvo << 8u << "V70"
                                       << "choose:11" << 11u << "XC90";
    QTest::newRow("vehicle make typed in decimal") << make << 0xAu << "10"
                                                   << "type:12" << 12u << "$0000000C";
    QTest::newRow("cancel keeps the value") << volume << 20u << "20"
                                            << "cancel" << 20u << "020";
}

void CMainWindowTest::editsEveryKindOfParameter()
{
    QFETCH(uint, id);
    QFETCH(uint, value);
    QFETCH(QString, prefill);
    QFETCH(QString, action);
    QFETCH(uint, expected);
    QFETCH(QString, shown);

    fixtures::CTempDir dir;
    CWindowUnderTest t;
    t.Open(WriteImage(dir / "one.img", OneParameter(id, value)));
    QCOMPARE(ListLines(&t.window).size(), 1);

    QString seenPrefill;
    std::unique_ptr<CModalDriver> driver;
    if (action != QLatin1String("toggle"))
    {
        driver = std::make_unique<CModalDriver>(
            &t.window,
            [&](QWidget* dialog)
            {
                QCOMPARE(dialog->windowTitle(), QStringLiteral("Please enter new value"));
                auto* edit = Control<QLineEdit>(dialog, "valueEdit");
                auto* choice = Control<QComboBox>(dialog, "valueChoice");
                const bool choosing = choice->isVisible();
                QCOMPARE(edit->isVisible(), !choosing);
                seenPrefill = choosing ? choice->currentText() : edit->text();
                const QString tag = QString::fromLatin1(QTest::currentDataTag());
                if (tag == QLatin1String("hex prefill 1F4") || tag == QLatin1String("volvo V70 to XC90"))
                    SaveScreenshot(dialog, choosing ? QStringLiteral("value-entry-choice")
                                                    : QStringLiteral("value-entry-hex"));
                if (action.startsWith(QLatin1String("type:")))
                {
                    edit->selectAll();
                    QTest::keyClicks(edit, action.mid(5));
                }
                else if (action.startsWith(QLatin1String("choose:")))
                    choice->setCurrentIndex(action.mid(7).toInt());
                const char* button = action == QLatin1String("cancel") ? "valueCancel" : "valueOk";
                QTest::mouseClick(Control<QPushButton>(dialog, button), Qt::LeftButton);
            });
    }
    DoubleClickRow(&t.window, 0);
    if (driver)
    {
        QVERIFY(driver->Acted());
        QCOMPARE(seenPrefill, prefill);
    }
    QCOMPARE(GetParamValue(t.window.Updater().Header(), 0), uint32_t(expected));
    // The list was rebuilt with the new value.
    const QString line = ListLines(&t.window).value(0);
    QVERIFY2(line.endsWith(QStringLiteral(":   ") + shown), qPrintable(line));

    if (action == QLatin1String("toggle"))
    {
        DoubleClickRow(&t.window, 0);
        QCOMPARE(GetParamValue(t.window.Updater().Header(), 0), uint32_t(expected ? 0 : 1));
    }
}

void CMainWindowTest::opensBundlesAndChoosesProducts()
{
    fixtures::CTempDir dir;
    auto member = [](uint32_t hardwareCode, uint32_t volume)
    {
        fixtures::CImageSpec imageSpec;
        imageSpec.hardwareCode = hardwareCode;
        imageSpec.params = {{0x30120001, volume}, {0x10030001, 1}};
        return fixtures::BuildImageFile(imageSpec);
    };
    const std::vector<fixtures::CZipMember> members = {{"image.info", {}},
                                                       {"zeta-enc.img", member(0x00010000, 7)},
                                                       {"alpha-enc.img", member(0x00010000, 9)},
                                                       {"other-enc.img", member(0x00020000, 1)},
                                                       {"readme.txt", fixtures::Bytes(600, 'x')},
                                                       {"x_enc.bin", member(0x00020000, 11)},
                                                       {"X_enc.bin", member(0x00010000, 12)},
                                                       {"/abs/p_enc.bin", member(0x00010000, 13)},
                                                       {"caf\x82_enc.bin", member(0x00010000, 14)}};
    fixtures::WriteZip(dir / "bundle.zip", members);

    CWindowUnderTest t;
    auto* products = Control<QComboBox>(&t.window, "product");
    t.Open(dir / "bundle.zip");
    QCOMPARE(t.Status(), QStringLiteral("Bundle loaded"));
    QVERIFY(products->isEnabled());
    // Sorted with letter case ignored; a name that is no UTF-8 shows one character per byte.
    QStringList shown;
    for (int i = 0; i < products->count(); ++i)
        shown << products->itemText(i);
    QCOMPARE(shown, (QStringList{"abs/p_enc.bin", "alpha-enc.img", QString::fromLatin1("caf\x82_enc.bin"),
                                 "X_enc.bin", "zeta-enc.img"}));
    QCOMPARE(products->currentIndex(), -1);
    // Nothing is chosen yet: no "Update", no "Wr".
    QVERIFY(!t.window.Model().IsImageLoaded());

    // The user picks the second product with the keyboard.
    products->setFocus();
    QTest::keyClick(products, Qt::Key_Down);
    QTest::keyClick(products, Qt::Key_Down);
    QCOMPARE(products->currentText(), QStringLiteral("alpha-enc.img"));
    QVERIFY(t.window.Model().IsImageLoaded());
    QCOMPARE(t.Status(), QStringLiteral("Image loaded"));
    QVERIFY(ListLines(&t.window).value(0).endsWith(QStringLiteral("009")));
    SaveScreenshot(&t.window, QStringLiteral("main-window-bundle-loaded"));
}

void CMainWindowTest::offersTheCodeSelectionForIrButtons()
{
    fixtures::CTempDir dir;
    fixtures::CImageSpec withIr;
    withIr.params = fixtures::RealisticParameters(true);
    WriteImage(dir / "ir.img", withIr);

    CWindowUnderTest t;
    int offered = 0;
    CModalDriver driver(&t.window,
                        [&](QWidget* dialog)
                        {
                            if (dialog->windowTitle() == QLatin1String("Code Selection"))
                                ++offered;
                            qobject_cast<QDialog*>(dialog)->reject();
                        });

    // An image with IR button parameters: offered; cancelled, the image is as loaded.
    t.Open(dir / "ir.img");
    QCOMPARE(offered, 1);
    QCOMPARE(t.Status(), QStringLiteral("Loaded update file"));
    CUpdater reference;
    QCOMPARE(reference.LoadImageFile(dir / "ir.img"), 1);
    QVERIFY(t.window.Updater().Header() == reference.Header());
}

QTEST_MAIN(CMainWindowTest)
#include "gui_main_window_test.moc"

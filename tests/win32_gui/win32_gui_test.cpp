// The native dialogs of corvalin.exe driven by messages under Wine: every control
// where its template puts it, in its order and with its styles; the value entry
// dialog in both modes through every edit kind; the code selection dialog with the
// demo remote (pick, withdraw, ERASE, CLEAR ALL, DEFAULT, OK, CANCEL, Enter and
// Escape); the About box from the system menus; and the screenshots.

#include "gui/model/MainDialogLayout.h"
#include "gui/win32/AboutDlg.h"
#include "gui/win32/CodeSelectionDlg.h"
#include "gui/win32/DialogFit.h"
#include "gui/win32/KeyButtons.h"
#include "gui/win32/MainDlg.h"
#include "gui/win32/RegistryFolderStore.h"
#include "gui/win32/ValueEntryDlg.h"
#include "gui/win32/resource.h"
#include "ir/IrProtocol.h"
#include "params/ParameterTable.h"
#include "platform/win32/WideText.h"
#include "tests/win32_gui/Win32GuiTestSupport.h"
#include "tools/fixtures/CcfBuilder.h"
#include "tools/fixtures/ImageBuilder.h"
#include "tools/fixtures/TempDir.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace corvalin;
using namespace corvalin::win32;
using namespace corvalin::win32test;
using namespace corvalin::fixtures;

namespace
{

// A control of a template: id (IDC_STATIC for the unnamed ones), text, rectangle.
struct CTemplateControl
{
    int m_nId;
    const wchar_t* m_pText;
    int m_nX, m_nY, m_nW, m_nH;
};

::testing::AssertionResult SameRect(const RECT& actual, const RECT& expected, bool bComboBox)
{
    // A closed drop-down list is as tall as its edit field; the template gives the
    // height of the open list.
    const bool same = actual.left == expected.left && actual.top == expected.top &&
                      actual.right == expected.right && (bComboBox || actual.bottom == expected.bottom);
    if (same)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "(" << actual.left << "," << actual.top << ")-(" << actual.right << "," << actual.bottom
           << ") instead of (" << expected.left << "," << expected.top << ")-(" << expected.right << ","
           << expected.bottom << ")";
}

bool IsComboBox(HWND control)
{
    wchar_t name[32] = {};
    GetClassNameW(control, name, 32);
    return _wcsicmp(name, L"ComboBox") == 0;
}

// Every child in z-order (which is the template's and the tab order) against the
// template's list; returns the children.
std::vector<HWND> CheckControls(HWND dialog, const std::vector<CTemplateControl>& controls)
{
    std::vector<HWND> children;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    EXPECT_EQ(children.size(), controls.size());
    for (std::size_t n = 0; n < std::min(children.size(), controls.size()); ++n)
    {
        const CTemplateControl& c = controls[n];
        SCOPED_TRACE(testing::Message() << "control " << n << " (id " << c.m_nId << ")");
        EXPECT_EQ(GetDlgCtrlID(children[n]), c.m_nId);
        if (c.m_pText)
        {
            EXPECT_EQ(TextOf(children[n]), c.m_pText);
        }
        EXPECT_TRUE(SameRect(ClientRectOf(dialog, children[n]),
                             TemplateRect(dialog, c.m_nX, c.m_nY, c.m_nW, c.m_nH), IsComboBox(children[n])));
    }
    return children;
}

int TemplateId(const CControlDescription& control)
{
    return control.m_control ? int(*control.m_control) : IDC_STATIC;
}

// Every child of the main window in z-order (which is the template's and the tab
// order) where the window model's description puts it.
void CheckMainWindowControls(HWND dialog)
{
    std::vector<HWND> children;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    EXPECT_EQ(children.size(), kMainDialogControls.size());
    for (std::size_t n = 0; n < std::min(children.size(), kMainDialogControls.size()); ++n)
    {
        const CControlDescription& c = kMainDialogControls[n];
        SCOPED_TRACE(testing::Message()
                     << "control " << n << " (" << (*c.m_pName ? c.m_pName : c.m_pText) << ")");
        EXPECT_EQ(GetDlgCtrlID(children[n]), TemplateId(c));
        EXPECT_TRUE(SameRect(
            ClientRectOf(dialog, children[n]),
            TemplateRect(dialog, c.m_rect.m_nX, c.m_rect.m_nY, c.m_rect.m_nWidth, c.m_rect.m_nHeight),
            IsComboBox(children[n])));
    }
}

// How a template writes a control of `kind`: its class, and the style bits under
// `mask` that make it that kind.
struct CWin32Form
{
    const wchar_t* m_pClass;
    DWORD m_nMask;
    DWORD m_nStyle;
};
CWin32Form FormOf(const CControlDescription& c)
{
    switch (c.m_eKind)
    {
    case EControlKind::Label:
        return {L"Static", SS_TYPEMASK, SS_LEFT};
    case EControlKind::Edit:
        return {L"Edit", ES_READONLY, c.m_bReadOnly ? DWORD(ES_READONLY) : 0};
    case EControlKind::Button:
        return {L"Button", BS_TYPEMASK, c.m_bDefault ? DWORD(BS_DEFPUSHBUTTON) : DWORD(BS_PUSHBUTTON)};
    case EControlKind::DropDownList:
        return {L"ComboBox", CBS_SIMPLE | CBS_DROPDOWN | CBS_DROPDOWNLIST, CBS_DROPDOWNLIST};
    case EControlKind::ProgressBar:
        return {PROGRESS_CLASSW, PBS_SMOOTH, PBS_SMOOTH};
    case EControlKind::GroupBox:
        return {L"Button", BS_TYPEMASK, BS_GROUPBOX};
    case EControlKind::ListBox:
        return {L"ListBox", LBS_NOTIFY, LBS_NOTIFY};
    }
    return {L"", 0, 0};
}

void CheckClientSize(HWND dialog, int w, int h)
{
    RECT client{};
    GetClientRect(dialog, &client);
    const RECT expected = TemplateRect(dialog, 0, 0, w, h);
    EXPECT_EQ(client.right, expected.right);
    EXPECT_EQ(client.bottom, expected.bottom);
}

// Drops `files` on `window` as the shell does: a DROPFILES block with the names, each
// ended by a zero and the list by another, posted as WM_DROPFILES.
void DropFiles(HWND window, const std::vector<std::wstring>& files)
{
    std::wstring names;
    for (const std::wstring& file : files)
        names += file + L'\0';
    names += L'\0';
    HGLOBAL block = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(block));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), names.data(),
                names.size() * sizeof(wchar_t));
    GlobalUnlock(block);
    PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0);
}

// The ids the Tab key visits from `first` round to it again.
std::vector<int> TabOrder(HWND dialog, int first)
{
    std::vector<int> ids;
    HWND control = GetDlgItem(dialog, first);
    do
    {
        ids.push_back(GetDlgCtrlID(control));
        control = GetNextDlgTabItem(dialog, control, FALSE);
    } while (control && control != GetDlgItem(dialog, first) && ids.size() < 64);
    return ids;
}

LONG_PTR StyleOf(HWND control)
{
    return GetWindowLongPtrW(control, GWL_STYLE);
}

// The last entry of the window's system menu: its command and text.
std::pair<UINT, std::wstring> LastSystemMenuEntry(HWND window)
{
    HMENU menu = GetSystemMenu(window, FALSE);
    const int last = GetMenuItemCount(menu) - 1;
    wchar_t text[64] = {};
    GetMenuStringW(menu, UINT(last), text, 64, MF_BYPOSITION);
    return {GetMenuItemID(menu, last), text};
}

// Shows the About box through the system menu command of `window`, checks it and
// closes it with Enter.
void CheckAboutFromSystemMenu(HWND window, bool bScreenshot)
{
    bool bShown = false;
    WhenShown(L"About Corvalin",
              [&](HWND about)
              {
                  bShown = true;
                  CheckClientSize(about, 235, 55);
                  const std::vector<CTemplateControl> controls = {
                      {IDC_STATIC, nullptr, 11, 17, 0, 0},
                      {IDC_STATIC, L"Corvalin Version 1.0", 40, 10, 119, 8},
                      {IDOK, L"OK", 178, 7, 50, 14},
                  };
                  std::vector<HWND> children;
                  for (HWND child = GetWindow(about, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
                      children.push_back(child);
                  EXPECT_EQ(children.size(), 3u);
                  if (children.size() == 3)
                  {
                      // The icon keeps its own size; its corner is the template's.
                      const RECT icon = ClientRectOf(about, children[0]);
                      const RECT place = TemplateRect(about, 11, 17, 0, 0);
                      EXPECT_EQ(icon.left, place.left);
                      EXPECT_EQ(icon.top, place.top);
                      EXPECT_NE(SendMessageW(children[0], STM_GETICON, 0, 0), 0);
                      EXPECT_EQ(TextOf(children[1]), L"Corvalin Version 1.0");
                      EXPECT_TRUE(SameRect(ClientRectOf(about, children[2]),
                                           TemplateRect(about, 178, 7, 50, 14), false));
                      EXPECT_EQ(StyleOf(children[2]) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
                  }
                  if (bScreenshot)
                  {
                      EXPECT_TRUE(SaveScreenshot(about, "about-box"));
                  }
                  PressKey(GetDlgItem(about, IDOK), VK_RETURN);
              });
    SendMessageW(window, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    EXPECT_TRUE(bShown);
    EXPECT_FALSE(FindWindowW(nullptr, L"About Corvalin"));
}

} // namespace

// At twice the standard density a key is twice as large, and each of its picture's
// pixels a 2 x 2 block, so the picture fills it as at 96 dots per inch.
TEST(Win32SourceKey, PictureGrowsWithTheScreenDensity)
{
    CSourceKeyLook look;
    look.m_picture.m_nWidth = 3;
    look.m_picture.m_nHeight = 2;
    look.m_picture.m_grey = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60};
    look.m_picture.m_set = {1, 1, 1, 1, 1, 0};
    look.m_nDpi = 2 * kStandardDpi;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP target = CreatePixelBitmap(screen, 6, 4, &bits);
    ASSERT_TRUE(dc && target);
    HGDIOBJ old = SelectObject(dc, target);
    DRAWITEMSTRUCT item{};
    item.hDC = dc;
    item.rcItem = {0, 0, 6, 4};
    DrawSourceKey(item, look);
    GdiFlush();
    const auto* pixels = static_cast<const uint32_t*>(bits);
    auto at = [&](int x, int y) { return pixels[y * 6 + x] & 0xFFFFFFu; };
    EXPECT_EQ(at(0, 0), 0x101010u);
    EXPECT_EQ(at(1, 1), 0x101010u);
    EXPECT_EQ(at(2, 0), 0x202020u);
    EXPECT_EQ(at(5, 1), 0x303030u);
    EXPECT_EQ(at(1, 3), 0x404040u);
    EXPECT_EQ(at(3, 2), 0x505050u);
    EXPECT_NE(at(5, 3), 0x606060u); // not set: the frame shows
    SelectObject(dc, old);
    DeleteObject(target);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
}

// The manifest the program and this test share: version 6 of the common controls takes
// effect, and it asks for per-monitor DPI awareness.
TEST(Win32Manifest, CommonControlsSixAndPerMonitorDpiAwareness)
{
    CMainDlg window;
    ASSERT_TRUE(window.Create(nullptr));
    // Only the buttons of the common controls 6 know their ideal size.
    SIZE ideal{};
    EXPECT_TRUE(SendMessageW(window.Item(IDOK), BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)));
    EXPECT_GT(ideal.cx, 0);
    // Wine reports per-monitor awareness with or without the manifest, so its text is
    // what can be checked here.
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_TRUE(found);
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(nullptr, found))),
                               SizeofResource(nullptr, found));
    EXPECT_NE(manifest.find(">PerMonitorV2, PerMonitor<"), std::string::npos);
    EXPECT_NE(manifest.find(">true/pm<"), std::string::npos);
}

TEST(Win32MainWindow, FollowsItsTemplateAndEndsWithCloseEnterOrEscape)
{
    CMainDlg window;
    ASSERT_TRUE(window.Create(nullptr));
    HWND dialog = window.Handle();
    Pump(50);
    // The caption ends with the build date as "May  6 2011".
    const std::wstring title = TextOf(dialog);
    EXPECT_EQ(title.substr(0, 19), L"QUILTA Corvalin    ");
    EXPECT_EQ(title.size(), 30u);
    CheckClientSize(dialog, kMainDialogWidth, kMainDialogHeight);
    CheckMainWindowControls(dialog);
    // Centred on the screen's work area.
    RECT work{}, placed{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(dialog, &placed);
    EXPECT_NEAR((placed.left + placed.right) / 2, (work.left + work.right) / 2, 2);
    EXPECT_NEAR((placed.top + placed.bottom) / 2, (work.top + work.bottom) / 2, 2);
    // Emptied when the worker takes the status line.
    EXPECT_EQ(TextOf(window.Item(IDC_STATUS)), L"");
    EXPECT_EQ(TabOrder(dialog, IDC_BUNDLE_PATH),
              (std::vector<int>{IDC_BUNDLE_PATH, IDC_BROWSE, IDC_DEVICE, IDC_STORE, IDC_PARAMETERS, IDOK}));
    EXPECT_TRUE(StyleOf(window.Item(IDC_BUNDLE_PATH)) & ES_READONLY);
    EXPECT_TRUE(StyleOf(window.Item(IDC_DEVICE)) & ES_MULTILINE);
    EXPECT_TRUE(StyleOf(window.Item(IDC_DEVICE)) & ES_READONLY);
    // The products come sorted; the list keeps their order, so its indexes are theirs.
    EXPECT_EQ(StyleOf(window.Item(IDC_PRODUCT)) & (CBS_DROPDOWNLIST | CBS_SORT), CBS_DROPDOWNLIST);
    EXPECT_EQ(StyleOf(window.Item(IDC_PARAMETERS)) & (LBS_NOTIFY | LBS_SORT | LBS_NOINTEGRALHEIGHT),
              LBS_NOTIFY | LBS_NOINTEGRALHEIGHT);
    // The scroll bar shows once the lines do not fit.
    for (int n = 0; n < 40; ++n)
        SendMessageW(window.Item(IDC_PARAMETERS), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"line"));
    EXPECT_TRUE(StyleOf(window.Item(IDC_PARAMETERS)) & WS_VSCROLL);
    SendMessageW(window.Item(IDC_PARAMETERS), LB_RESETCONTENT, 0, 0);
    // (The progress bar takes its border from the template but draws it itself, without
    // keeping WS_BORDER.)
    EXPECT_TRUE(StyleOf(window.Item(IDC_PROGRESS)) & PBS_SMOOTH);
    EXPECT_EQ(StyleOf(window.Item(IDOK)) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    // Nothing connected, nothing loaded: no update, no product to choose.
    EXPECT_FALSE(IsWindowEnabled(window.Item(IDC_UPDATE)));
    EXPECT_FALSE(IsWindowEnabled(window.Item(IDC_PRODUCT)));
    EXPECT_EQ(SendMessageW(window.Item(IDC_PROGRESS), PBM_GETRANGE, FALSE, 0), 100);
    EXPECT_EQ(LastSystemMenuEntry(dialog),
              std::make_pair(UINT(IDM_ABOUTBOX), std::wstring(L"&About Corvalin...")));
    EXPECT_TRUE(SaveScreenshot(dialog, "main-window"));
    CheckAboutFromSystemMenu(dialog, true);
    EXPECT_FALSE(window.IsEnded());
    // F1, wherever the focus is, and the context menu's first entry show it too.
    for (int way = 0; way < 2; ++way)
    {
        bool bShown = false;
        WhenShown(L"About Corvalin",
                  [&](HWND about)
                  {
                      bShown = true;
                      // F1 in the box opens no second one.
                      PressKey(GetDlgItem(about, IDOK), VK_F1);
                      Pump(100);
                      int shown = 0;
                      EnumThreadWindows(
                          GetCurrentThreadId(),
                          [](HWND top, LPARAM count) -> BOOL
                          {
                              *reinterpret_cast<int*>(count) +=
                                  IsWindowVisible(top) && TextOf(top) == L"About Corvalin";
                              return TRUE;
                          },
                          reinterpret_cast<LPARAM>(&shown));
                      EXPECT_EQ(shown, 1);
                      PressKey(GetDlgItem(about, IDOK), VK_RETURN);
                  });
        if (way == 0)
        {
            SetFocus(window.Item(IDC_BROWSE));
            PressKey(window.Item(IDC_BROWSE), VK_F1);
        }
        else
        {
            // Below "Change...", which has no parameter to change.
            const UINT_PTR guard = SetTimer(nullptr, 0, 3000, [](HWND, UINT, UINT_PTR, DWORD) { EndMenu(); });
            PressKey(dialog, VK_DOWN);
            PressKey(dialog, VK_DOWN);
            PressKey(dialog, VK_RETURN);
            SendMessageW(dialog, WM_CONTEXTMENU, WPARAM(dialog), LPARAM(-1));
            KillTimer(nullptr, guard);
        }
        Pump(100);
        EXPECT_TRUE(bShown) << way;
    }

    // "Fast transfer", below "Change..." and About in the context menu, chosen with the keyboard, reaches
    // the model; a guard ends the menu should the keys miss it.
    ASSERT_TRUE(window.Model());
    EXPECT_FALSE(window.Model()->IsFastTransfer());
    const UINT_PTR guard = SetTimer(nullptr, 0, 3000, [](HWND, UINT, UINT_PTR, DWORD) { EndMenu(); });
    PressKey(dialog, VK_DOWN);
    PressKey(dialog, VK_DOWN);
    PressKey(dialog, VK_DOWN);
    PressKey(dialog, VK_RETURN);
    SendMessageW(dialog, WM_CONTEXTMENU, WPARAM(dialog), LPARAM(-1));
    KillTimer(nullptr, guard);
    Pump(50);
    EXPECT_TRUE(window.Model()->IsFastTransfer());

    // Enter presses the push button that has the focus, and "Close" elsewhere.
    int asked = 0;
    window.SetFileChoosers(
        [&](HWND, const CFileDialog&)
        {
            ++asked;
            return std::wstring();
        },
        [](HWND, const CFileDialog&) { return std::wstring(); });
    SetFocus(window.Item(IDC_BROWSE));
    PressKey(window.Item(IDC_BROWSE), VK_RETURN);
    Pump(50);
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(window.IsEnded());
    SetFocus(window.Item(IDC_BUNDLE_PATH));
    PressKey(window.Item(IDC_BUNDLE_PATH), VK_RETURN);
    Pump(50);
    EXPECT_TRUE(window.IsEnded());
    EXPECT_EQ(window.Result(), IDOK);

    CMainDlg second;
    ASSERT_TRUE(second.Create(nullptr));
    Pump(50);
    PressKey(GetFocus(), VK_ESCAPE);
    Pump(50);
    EXPECT_TRUE(second.IsEnded());
    EXPECT_EQ(second.Result(), IDCANCEL);
}

// The "..." dialog of a later window, as of a later run, opens where the last file was
// found: the folder is kept in the user's registry hive under the program's name.
TEST(Win32MainWindow, OpenDialogStartsWhereTheLastRunFoundItsFile)
{
    RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
    CTempDir dir;
    const std::filesystem::path image = dir / "kept.img";
    WriteFileBytes(image, BuildImageFile(CImageSpec{}));
    std::filesystem::path offered = L"none";
    auto run = [&](const std::filesystem::path& answer)
    {
        CMainDlg window;
        window.SetFileChoosers(
            [&](HWND, const CFileDialog& dialog)
            {
                offered = dialog.m_folder;
                return answer.wstring();
            },
            [](HWND, const CFileDialog&) { return std::wstring(); });
        ASSERT_TRUE(window.Create(nullptr));
        SendDlgItemMessageW(window.Handle(), IDC_BROWSE, BM_CLICK, 0, 0);
        Pump(50);
    };
    run(image);
    EXPECT_EQ(offered, std::filesystem::path());
    run({});
    EXPECT_EQ(offered, dir.Path());
    EXPECT_EQ(CRegistryFolderStore().LoadFolder("BundleFolder"), dir.Path());
    RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
}

TEST(Win32MainWindow, DroppedFileOpensAsWithBrowse)
{
    CTempDir dir;
    CImageSpec imageSpec;
    imageSpec.params = RealisticParameters(false);
    const std::filesystem::path image = dir / "dropped.img";
    WriteFileBytes(image, BuildImageFile(imageSpec));
    CMainDlg window;
    ASSERT_TRUE(window.Create(nullptr));
    Pump(50);
    // Two files change nothing; one opens.
    DropFiles(window.Handle(), {image.wstring(), image.wstring()});
    Pump(50);
    EXPECT_EQ(TextOf(window.Item(IDC_BUNDLE_PATH)), L"");
    DropFiles(window.Handle(), {image.wstring()});
    Pump(50);
    EXPECT_EQ(TextOf(window.Item(IDC_BUNDLE_PATH)), image.wstring());
    EXPECT_EQ(TextOf(window.Item(IDC_STATUS)), L"Loaded update file");
    EXPECT_GT(SendMessageW(window.Item(IDC_PARAMETERS), LB_GETCOUNT, 0, 0), 5);
}

// The template of the resource script is the window model's description, from which
// the Qt view is built: the same controls in the same order, each with its id, class,
// text, rectangle and style facts; the same size, caption and font size; and the
// About entry of the string table is the model's.
TEST(Win32MainWindow, TemplateIsTheModelsDescription)
{
    CDialogTemplate dialog;
    ASSERT_TRUE(ReadDialogTemplate(IDD_CORVALIN_DIALOG, dialog));
    EXPECT_EQ(dialog.m_strCaption, platform::Widen(kMainDialogCaption));
    EXPECT_EQ(dialog.m_nW, kMainDialogWidth);
    EXPECT_EQ(dialog.m_nH, kMainDialogHeight);
    EXPECT_EQ(dialog.m_nFontPoints, kMainDialogFontPoints);
    ASSERT_EQ(dialog.m_items.size(), kMainDialogControls.size());
    for (std::size_t n = 0; n < kMainDialogControls.size(); ++n)
    {
        const CControlDescription& c = kMainDialogControls[n];
        const CTemplateItem& item = dialog.m_items[n];
        SCOPED_TRACE(testing::Message()
                     << "control " << n << " (" << (*c.m_pName ? c.m_pName : c.m_pText) << ")");
        EXPECT_EQ(item.m_nId, TemplateId(c));
        const CWin32Form form = FormOf(c);
        EXPECT_EQ(_wcsicmp(item.m_strClass.c_str(), form.m_pClass), 0) << platform::Narrow(item.m_strClass);
        EXPECT_EQ(item.m_nStyle & form.m_nMask, form.m_nStyle);
        EXPECT_EQ(item.m_strText, platform::Widen(c.m_pText));
        EXPECT_EQ(item.m_nX, c.m_rect.m_nX);
        EXPECT_EQ(item.m_nY, c.m_rect.m_nY);
        EXPECT_EQ(item.m_nW, c.m_rect.m_nWidth);
        EXPECT_EQ(item.m_nH, c.m_rect.m_nHeight);
    }
    wchar_t about[64] = {};
    LoadStringW(nullptr, IDS_ABOUTBOX, about, int(std::size(about)));
    EXPECT_EQ(std::wstring(about), platform::Widen(kAboutEntryText));
}

namespace
{

// Runs the value entry dialog for `entry`; `step` works on it while it shows. Returns
// DoModal's result and the value after it.
std::pair<INT_PTR, int32_t> RunValueEntry(const CValueEntry& entry, std::function<void(HWND)> step)
{
    CValueEntryDlg dialog(entry);
    WhenShown(L"Please enter new value", std::move(step));
    const INT_PTR result = dialog.DoModal(nullptr);
    return {result, dialog.Entry().m_nValue};
}

// Types `text` into the edit box and presses the focused control's Enter.
std::function<void(HWND)> TypeAndEnter(const wchar_t* text)
{
    return [text](HWND dialog)
    {
        SetDlgItemTextW(dialog, IDC_VALUE_EDIT, text);
        PressKey(GetDlgItem(dialog, IDC_VALUE_EDIT), VK_RETURN);
    };
}

void CheckValueEntryLayout(HWND dialog, bool bChoice)
{
    CheckClientSize(dialog, 186, 95);
    CheckControls(dialog, {
                              {IDC_VALUE_LABEL, L"Enter:", 7, 22, 97, 8},
                              {IDC_VALUE_EDIT, nullptr, 104, 22, 75, 14},
                              {IDC_VALUE_CHOICE, nullptr, 105, 20, 75, 60},
                              {IDOK, L"OK", 7, 74, 50, 14},
                              {IDCANCEL, L"Cancel", 129, 74, 50, 14},
                          });
    EXPECT_EQ(bool(IsWindowVisible(GetDlgItem(dialog, IDC_VALUE_CHOICE))), bChoice);
    EXPECT_EQ(bool(IsWindowVisible(GetDlgItem(dialog, IDC_VALUE_EDIT))), !bChoice);
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, bChoice ? IDC_VALUE_CHOICE : IDC_VALUE_EDIT));
    EXPECT_EQ(StyleOf(GetDlgItem(dialog, IDC_VALUE_CHOICE)) & (CBS_DROPDOWNLIST | CBS_SORT),
              CBS_DROPDOWNLIST);
}

} // namespace

TEST(Win32ValueEntry, DecimalAndHexEntryReadTheTypedText)
{
    const CValueEntry decimal = PrepareValueEntry(EditKind::Decimal, 0xFFFFFFFDu);
    std::wstring shown;
    auto [result, value] = RunValueEntry(decimal,
                                         [&](HWND dialog)
                                         {
                                             CheckValueEntryLayout(dialog, false);
                                             shown = TextOf(GetDlgItem(dialog, IDC_VALUE_EDIT));
                                             EXPECT_TRUE(SaveScreenshot(dialog, "value-entry-number"));
                                             TypeAndEnter(L"12abc")(dialog);
                                         });
    EXPECT_EQ(shown, L"-3");
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(value, 12);
    EXPECT_EQ(RunValueEntry(decimal, TypeAndEnter(L"abc")).second, 0);

    // "Vehicle Make" and "IR TYPE" are decimal entry too: $0000000A opens as 10.
    const CValueEntry make = PrepareValueEntry(EditKindFor(0x60050001u), 0xA);
    EXPECT_EQ(RunValueEntry(make,
                            [&](HWND dialog)
                            {
                                shown = TextOf(GetDlgItem(dialog, IDC_VALUE_EDIT));
                                PressKey(GetDlgItem(dialog, IDOK), VK_RETURN);
                            })
                  .second,
              10);
    EXPECT_EQ(shown, L"10");

    const CValueEntry hex = PrepareValueEntry(EditKind::Hex, 0x1F4);
    EXPECT_EQ(RunValueEntry(hex,
                            [&](HWND dialog)
                            {
                                CheckValueEntryLayout(dialog, false);
                                shown = TextOf(GetDlgItem(dialog, IDC_VALUE_EDIT));
                                TypeAndEnter(L"0x10")(dialog);
                            })
                  .second,
              0x10);
    EXPECT_EQ(shown, L"1F4");
    EXPECT_EQ(RunValueEntry(hex, TypeAndEnter(L"1f4")).second, 0x1F4);
    EXPECT_EQ(RunValueEntry(hex, TypeAndEnter(L"FFFFFFFF")).second, 0x7FFFFFFF);
    EXPECT_EQ(uint32_t(RunValueEntry(hex, TypeAndEnter(L"-1")).second), 0xFFFFFFFFu);

    // Escape and "Cancel" leave the value as it was, whatever was typed.
    auto [escaped, kept] = RunValueEntry(hex,
                                         [](HWND dialog)
                                         {
                                             SetDlgItemTextW(dialog, IDC_VALUE_EDIT, L"77");
                                             PressKey(GetDlgItem(dialog, IDC_VALUE_EDIT), VK_ESCAPE);
                                         });
    EXPECT_EQ(escaped, IDCANCEL);
    EXPECT_EQ(kept, 0x1F4);
    auto [cancelled, same] = RunValueEntry(hex,
                                           [](HWND dialog)
                                           {
                                               SetDlgItemTextW(dialog, IDC_VALUE_EDIT, L"77");
                                               SendDlgItemMessageW(dialog, IDCANCEL, BM_CLICK, 0, 0);
                                           });
    EXPECT_EQ(cancelled, IDCANCEL);
    EXPECT_EQ(same, 0x1F4);
}

TEST(Win32ValueEntry, VolvoModelIsChosenFromTheList)
{
    const CValueEntry above = PrepareValueEntry(EditKind::VolvoModel, 12);
    std::vector<std::wstring> items;
    LRESULT selected = -2;
    auto [result, value] = RunValueEntry(
        above,
        [&](HWND dialog)
        {
            CheckValueEntryLayout(dialog, true);
            HWND list = GetDlgItem(dialog, IDC_VALUE_CHOICE);
            selected = SendMessageW(list, CB_GETCURSEL, 0, 0);
            for (LRESULT n = 0; n < SendMessageW(list, CB_GETCOUNT, 0, 0); ++n)
            {
                wchar_t text[32] = {};
                SendMessageW(list, CB_GETLBTEXT, WPARAM(n), reinterpret_cast<LPARAM>(text));
                items.push_back(text);
            }
            EXPECT_TRUE(SaveScreenshot(dialog, "value-entry-choice"));
            SendMessageW(list, CB_SETCURSEL, 5, 0);
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_VALUE_CHOICE, CBN_SELCHANGE), LPARAM(list));
            SendDlgItemMessageW(dialog, IDOK, BM_CLICK, 0, 0);
        });
    EXPECT_EQ(selected, 0); // a value above 11 opens at "C30"
    ASSERT_EQ(items.size(), kVolvoModelNames.size());
    for (std::size_t n = 0; n < items.size(); ++n)
        EXPECT_EQ(items[n],
                  std::wstring(kVolvoModelNames[n], kVolvoModelNames[n] + std::strlen(kVolvoModelNames[n])));
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(value, 5);

    // A negative value selects nothing, and OK without a choice keeps FFFFFFFF.
    const CValueEntry none = PrepareValueEntry(EditKind::VolvoModel, 0xFFFFFFFFu);
    auto [okResult, noneValue] =
        RunValueEntry(none,
                      [&](HWND dialog)
                      {
                          selected = SendDlgItemMessageW(dialog, IDC_VALUE_CHOICE, CB_GETCURSEL, 0, 0);
                          PressKey(GetDlgItem(dialog, IDC_VALUE_CHOICE), VK_RETURN);
                      });
    EXPECT_EQ(selected, CB_ERR);
    EXPECT_EQ(okResult, IDOK);
    EXPECT_EQ(uint32_t(noneValue), 0xFFFFFFFFu);
}

namespace
{

constexpr int kVolMinusId = IDC_FUNCTION_KEY_0, kPickUpId = IDC_FUNCTION_KEY_12;

// A code selection dialog shown modeless, its messages recorded, the demo remote and a
// file that is no CCF file on disk.
class Win32CodeSelection : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        m_demo = m_dir / "demo.ccf";
        WriteFileBytes(m_demo, BuildDemoCcf());
        m_notCcf = m_dir / "notes.ccf";
        WriteFileBytes(m_notCcf, Bytes(200, 'x'));
        m_dialog.SetMessageHook([this](const std::wstring& text) { m_messages.push_back(text); });
    }

    HWND Show()
    {
        HWND dialog = m_dialog.Create(nullptr);
        SetForegroundWindow(dialog);
        Pump(50);
        return dialog;
    }

    void Load(const std::filesystem::path& path)
    {
        SetDlgItemTextW(m_dialog.Handle(), IDC_SOURCE_FILE, path.wstring().c_str());
        Pump();
    }

    void Click(int id)
    {
        HWND control = m_dialog.Item(id);
        if (!control)
            control = m_dialog.SourceKey(id);
        ASSERT_TRUE(control) << id;
        SendMessageW(control, BM_CLICK, 0, 0);
        Pump();
    }

    std::wstring Text(int id) { return m_dialog.ItemText(id); }

    // The source key with this label.
    const CSourceKeyState& KeyLabelled(const std::string& label)
    {
        for (const CSourceKeyState& key : m_dialog.Logic().SourceKeys())
            if (key.m_pRecord->label == label)
                return key;
        ADD_FAILURE() << label;
        return m_dialog.Logic().SourceKeys().front();
    }

    // " (NEC)  0x1FE" for a key's protocol and code.
    static std::wstring CodeText(const CSourceKeyState& key)
    {
        wchar_t text[64];
        std::swprintf(text, 64, L" (%hs)  0x%X", IrProtocolName(key.m_eProtocol), key.m_nCode);
        return text;
    }

    // The top-left 3 x 3 pixels of a control as the screen shows them: the edge of a
    // key's frame, raised or flat.
    std::vector<uint32_t> Corner(int id)
    {
        HWND dialog = m_dialog.Handle();
        const CCapture shot = CaptureWindow(dialog);
        RECT window{}, control{};
        GetWindowRect(dialog, &window);
        GetWindowRect(m_dialog.Item(id), &control);
        std::vector<uint32_t> pixels;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x)
                pixels.push_back(shot.At(control.left - window.left + x, control.top - window.top + y));
        return pixels;
    }

    CTempDir m_dir;
    std::filesystem::path m_demo;
    std::filesystem::path m_notCcf;
    CCodeSelectionDlg m_dialog;
    std::vector<std::wstring> m_messages;
};

} // namespace

TEST_F(Win32CodeSelection, FollowsItsTemplate)
{
    HWND dialog = Show();
    EXPECT_EQ(TextOf(dialog), L"Code Selection");
    CheckClientSize(dialog, 438, 342);
    // The controls that take the focus come first, in the order of the layout (the
    // z-order is the tab order); the rest keep the template's order.
    CheckControls(dialog, {
                              {IDC_SOURCE_FILE, L"", 109, 36, 252, 15},
                              {IDC_SOURCE_BROWSE, L"...", 385, 36, 30, 16},
                              {IDC_ERASE, L"ERASE", 195, 244, 46, 21},
                              {1014, L"Phone Pick Up", 287, 98, 56, 21},
                              {1015, L"Phone Hang Up", 355, 98, 59, 21},
                              {1004, L"Vol +", 287, 128, 56, 21},
                              {1013, L"Track Up", 355, 128, 59, 21},
                              {1002, L"Vol -", 288, 159, 55, 21},
                              {1012, L"Track Down", 355, 159, 59, 21},
                              {1011, L"Mute", 288, 188, 55, 21},
                              {1006, L"Source", 355, 188, 59, 21},
                              {IDC_CLEAR_ALL, L"CLEAR ALL", 161, 309, 48, 19},
                              {IDC_DEFAULT, L"DEFAULT", 217, 309, 48, 19},
                              {IDC_OK_BUTTON, L"OK", 324, 309, 43, 19},
                              {IDC_CANCEL_BUTTON, L"CANCEL", 376, 309, 47, 19},
                              {IDC_STATIC, L"Destination", 277, 78, 146, 219},
                              {IDC_STATIC, L"Source", 25, 78, 240, 219},
                              {1003, L"2", 350, 231, 25, 21},
                              {1005, L"4", 332, 222, 25, 21},
                              {1007, L"6", 361, 230, 25, 21},
                              {1008, L"7", 369, 233, 25, 21},
                              {1009, L"8", 366, 233, 25, 21},
                              {1010, L"9", 364, 224, 25, 21},
                              {IDC_CODE_TEXT, L"", 78, 279, 97, 12},
                              {IDC_STATIC, L"IR CODE:", 31, 278, 45, 12},
                              {IDC_FUNCTION_TEXT, L"", 285, 278, 135, 12},
                              {IDC_STATIC, L"Source File:", 25, 36, 71, 14},
                          });
    for (int k = 0; k < kFunctionKeyCount; ++k)
    {
        HWND key = m_dialog.Item(IDC_FUNCTION_KEY_0 + k);
        EXPECT_EQ(bool(IsWindowVisible(key)), kFunctionKeyShown[std::size_t(k)]) << k;
        EXPECT_EQ(StyleOf(key) & BS_TYPEMASK,
                  kFunctionKeyShown[std::size_t(k)] ? BS_OWNERDRAW : BS_PUSHBUTTON)
            << k;
    }
    for (int id :
         {IDC_SOURCE_BROWSE, IDC_CANCEL_BUTTON, IDC_OK_BUTTON, IDC_CLEAR_ALL, IDC_DEFAULT, IDC_ERASE})
        EXPECT_EQ(StyleOf(m_dialog.Item(id)) & BS_TYPEMASK, BS_PUSHBUTTON) << id;
    EXPECT_EQ(GetFocus(), m_dialog.Item(IDC_SOURCE_FILE));
    EXPECT_EQ(TabOrder(dialog, IDC_SOURCE_FILE),
              (std::vector<int>{1000, 1001, 1022, 1014, 1015, 1004, 1013, 1002, 1012, 1011, 1006, 1016, 1020,
                                1018, 1017}));
    EXPECT_EQ(LastSystemMenuEntry(dialog),
              std::make_pair(UINT(IDM_ABOUTBOX), std::wstring(L"&About Corvalin...")));
    CheckAboutFromSystemMenu(dialog, false);
    EXPECT_FALSE(m_dialog.IsEnded());
}

// The same remote in the grey, grey+UDB, colour+UDB and colour+timers layouts makes
// the same source keys, places and codes; a colour file's keys are drawn in colour.
TEST_F(Win32CodeSelection, ColourAndUdbFilesShowTheKeysOfTheirGreyTwin)
{
    HWND dialog = Show();
    auto keys = [&](const CCcfFileLayout& layout, const char* file)
    {
        const auto path = m_dir / file;
        WriteFileBytes(path, BuildLayoutRemote(layout));
        Load(path);
        std::vector<std::string> seen;
        for (const CSourceKeyState& key : m_dialog.Logic().SourceKeys())
        {
            const RECT rect = ClientRectOf(dialog, m_dialog.SourceKey(key.m_nId));
            char line[160];
            std::snprintf(line, sizeof line, "%s %ld,%ld,%ld,%ld %d %X", key.m_pRecord->label.c_str(),
                          rect.left, rect.top, rect.right, rect.bottom, int(key.m_eProtocol), key.m_nCode);
            seen.push_back(line);
        }
        for (int k = 0; k < kFunctionKeyCount; ++k)
            seen.push_back("function " + std::to_string(m_dialog.Logic().FunctionKey(k).m_nCode));
        return seen;
    };
    const std::vector<std::string> grey = keys(kCcfGrey, "grey.ccf");
    EXPECT_EQ(grey.size(), std::size_t(22 + kFunctionKeyCount));
    EXPECT_EQ(keys(kCcfGreyUdb, "grey-udb.ccf"), grey);
    EXPECT_EQ(keys(kCcfColourUdb, "colour-udb.ccf"), grey);
    EXPECT_EQ(keys(kCcfColourTimers, "colour-timers.ccf"), grey);
    EXPECT_TRUE(SaveScreenshot(dialog, "code-selection-layout-colour"));
    EXPECT_TRUE(m_messages.empty());

    // 101 keys of 256-colour bitmaps: key 0's pixel (x, y) is palette index
    // x * 6 / 28 + 6 * (y * 6 / 20), so (5, 0) is (51, 0, 0) and (5, 4) is (51, 51, 0).
    const auto colour = m_dir / "colour.ccf";
    WriteFileBytes(colour, BuildColourCcf(101));
    Load(colour);
    ASSERT_EQ(m_dialog.SourceKeyCount(), 101u);
    SetForegroundWindow(dialog);
    Pump(50);
    const CCapture shot = CaptureWindow(dialog);
    POINT key = {80, 150};
    ClientToScreen(dialog, &key);
    RECT frame{};
    GetWindowRect(dialog, &frame);
    EXPECT_EQ(shot.At(key.x - frame.left, key.y - frame.top), 0x000000u);
    EXPECT_EQ(shot.At(key.x - frame.left + 5, key.y - frame.top), 0x330000u);
    EXPECT_EQ(shot.At(key.x - frame.left + 5, key.y - frame.top + 4), 0x333300u);
    EXPECT_TRUE(SaveScreenshot(dialog, "code-selection-colour"));
}

TEST_F(Win32CodeSelection, DemoRemotePickWithdrawEraseClearAllDefaultAndOk)
{
    HWND dialog = Show();
    Load(m_demo);
    EXPECT_TRUE(m_messages.empty());
    ASSERT_EQ(m_dialog.SourceKeyCount(), 8u);
    // Each key lies at its Pronto position (the frame's 10, 10 plus its own) offset by
    // 80, 150 pixels, as large as its CCF button.
    for (const CSourceKeyState& key : m_dialog.Logic().SourceKeys())
    {
        const RECT rect = ClientRectOf(dialog, m_dialog.SourceKey(key.m_nId));
        EXPECT_EQ(rect.left, key.m_pRecord->x + 80);
        EXPECT_EQ(rect.top, key.m_pRecord->y + 150);
        EXPECT_EQ(rect.right - rect.left, key.m_pRecord->width);
        EXPECT_EQ(rect.bottom - rect.top, key.m_pRecord->height);
    }
    EXPECT_TRUE(SameRect(ClientRectOf(dialog, m_dialog.SourceKey(2000)), RECT{90, 160, 138, 184}, false));
    // The default names were assigned when the file was read.
    EXPECT_EQ(m_dialog.Logic().FunctionKey(2).m_nCode, KeyLabelled("Vol+").m_nCode);
    EXPECT_EQ(m_dialog.Logic().FunctionKey(11).m_nCode, KeyLabelled("\xBA").m_nCode);

    // The key's picture and rim are painted where the key is: the demo icon's rim is
    // dark grey, its face light grey.
    SetForegroundWindow(dialog);
    const CCapture shot = CaptureWindow(dialog);
    POINT key = {90, 160};
    ClientToScreen(dialog, &key);
    RECT frame{};
    GetWindowRect(dialog, &frame);
    EXPECT_EQ(shot.At(key.x - frame.left, key.y - frame.top + 12), 0x555555u);
    EXPECT_EQ(shot.At(key.x - frame.left + 2, key.y - frame.top + 12), 0xAAAAAAu);
    EXPECT_TRUE(SaveScreenshot(dialog, "code-selection-demo"));

    // A key holding a code is flat, an empty one raised: "Vol +" and "Phone Pick Up"
    // are the same size and differ only in that, until CLEAR ALL empties "Vol +".
    EXPECT_NE(Corner(IDC_FUNCTION_KEY_2), Corner(kPickUpId));
    Click(IDC_CLEAR_ALL);
    for (int k = 0; k < kFunctionKeyCount; ++k)
        EXPECT_EQ(m_dialog.Logic().FunctionKey(k).m_eProtocol, EIrProtocol::Empty) << k;
    EXPECT_EQ(Text(IDC_FUNCTION_TEXT), L"");
    EXPECT_EQ(Corner(IDC_FUNCTION_KEY_2), Corner(kPickUpId));

    // Pick "Power", assign it to "Phone Pick Up".
    const CSourceKeyState& power = KeyLabelled("Power");
    Click(power.m_nId);
    EXPECT_EQ(Text(IDC_CODE_TEXT), CodeText(power));
    Click(kPickUpId);
    EXPECT_EQ(Text(IDC_FUNCTION_TEXT), L"Phone Pick Up:" + CodeText(power));
    EXPECT_EQ(Text(IDC_CODE_TEXT), L"");
    EXPECT_EQ(m_dialog.Logic().FunctionKey(12).m_nCode, power.m_nCode);

    // A second click on the focused key withdraws the pick and hands the focus to the
    // IR code text.
    const CSourceKeyState& menu = KeyLabelled("Menu");
    Click(menu.m_nId);
    EXPECT_EQ(GetFocus(), m_dialog.SourceKey(menu.m_nId));
    EXPECT_EQ(Text(IDC_CODE_TEXT), CodeText(menu));
    Click(menu.m_nId);
    EXPECT_EQ(Text(IDC_CODE_TEXT), L"");
    EXPECT_EQ(GetFocus(), m_dialog.Item(IDC_CODE_TEXT));
    // A picked key that loses the focus is drawn again, no longer toggled: the next
    // click picks again instead of withdrawing.
    Click(menu.m_nId);
    EXPECT_TRUE(m_dialog.Logic().FindSourceKey(menu.m_nId)->m_bToggled);
    SetFocus(m_dialog.Item(kVolMinusId));
    Pump(50);
    EXPECT_FALSE(m_dialog.Logic().FindSourceKey(menu.m_nId)->m_bToggled);
    Click(menu.m_nId);
    EXPECT_EQ(Text(IDC_CODE_TEXT), CodeText(menu));
    EXPECT_TRUE(SaveScreenshot(dialog, "code-selection-picked"));

    // ERASE, then "Vol -" clears that key.
    Click(kVolMinusId);
    EXPECT_EQ(m_dialog.Logic().FunctionKey(0).m_nCode, menu.m_nCode);
    Click(IDC_ERASE);
    EXPECT_EQ(Text(IDC_CODE_TEXT), L" (EMPTY) ");
    Click(kVolMinusId);
    EXPECT_EQ(Text(IDC_FUNCTION_TEXT), L"Vol -: (EMPTY)");
    EXPECT_EQ(m_dialog.Logic().FunctionKey(0).m_eProtocol, EIrProtocol::Empty);

    // DEFAULT reads the file again: new key windows, the default names assigned anew,
    // the hand assignment gone.
    HWND before = m_dialog.SourceKey(2000);
    Click(IDC_DEFAULT);
    EXPECT_FALSE(IsWindow(before));
    EXPECT_EQ(m_dialog.SourceKeyCount(), 8u);
    EXPECT_EQ(m_dialog.Logic().FunctionKey(12).m_nCode, 0u);
    EXPECT_EQ(m_dialog.Logic().FunctionKey(0).m_nCode, KeyLabelled("Vol-").m_nCode);

    Click(IDC_OK_BUTTON);
    EXPECT_TRUE(m_dialog.IsEnded());
    EXPECT_EQ(m_dialog.Result(), kCodeSelectionOk);
    ASSERT_EQ(m_dialog.Codes().size(), 14u);
    for (int k = 0; k < kFunctionKeyCount; ++k)
        EXPECT_EQ(m_dialog.Codes()[std::size_t(k)], m_dialog.Logic().FunctionKey(k).m_nCode) << k;
    EXPECT_NE(m_dialog.Codes()[9], 0u);
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(Win32CodeSelection, SourceKeysFromTheKeyboardAndADroppedFile)
{
    HWND dialog = Show();
    // A dropped .ccf file becomes the source; anything else is left alone.
    DropFiles(dialog, {(m_dir / "bundle.zip").wstring()});
    Pump(50);
    EXPECT_EQ(Text(IDC_SOURCE_FILE), L"");
    DropFiles(dialog, {m_demo.wstring()});
    Pump(50);
    EXPECT_EQ(Text(IDC_SOURCE_FILE), m_demo.wstring());
    ASSERT_GE(m_dialog.SourceKeyCount(), 2u);

    // Tab from "..." enters the keys at the first in reading order; the arrows walk them.
    const std::vector<int> order = m_dialog.Logic().SourceKeysInReadingOrder();
    SetFocus(m_dialog.Item(IDC_SOURCE_BROWSE));
    PressKey(GetFocus(), VK_TAB);
    Pump(50);
    EXPECT_EQ(GetFocus(), m_dialog.SourceKey(order[0]));
    const CSourceKeyState& first = *m_dialog.Logic().FindSourceKey(order[0]);
    EXPECT_EQ(TextOf(GetFocus()), platform::Widen(first.m_pRecord->label));
    PressKey(GetFocus(), VK_RIGHT);
    Pump(50);
    EXPECT_EQ(GetFocus(), m_dialog.SourceKey(order[1]));
    PressKey(GetFocus(), VK_LEFT);
    Pump(50);
    // Space picks; Enter too, without ending the dialog.
    PressKey(GetFocus(), VK_SPACE);
    Pump(50);
    EXPECT_EQ(Text(IDC_CODE_TEXT), CodeText(first));
    PressKey(GetFocus(), VK_DOWN);
    Pump(50);
    const CSourceKeyState& second = *m_dialog.Logic().FindSourceKey(order[1]);
    PressKey(GetFocus(), VK_RETURN);
    Pump(50);
    EXPECT_EQ(Text(IDC_CODE_TEXT), CodeText(second));
    EXPECT_FALSE(m_dialog.IsEnded());
    EXPECT_TRUE(SaveScreenshot(dialog, "code-selection-keyboard-pick-win32"));
    // Tab leaves the group for ERASE.
    PressKey(GetFocus(), VK_TAB);
    Pump(50);
    EXPECT_EQ(GetFocus(), m_dialog.Item(IDC_ERASE));
}

TEST_F(Win32CodeSelection, FailedLoadsAndTypedPathsReportOnce)
{
    Show();
    // A path beyond any ANSI code page reaches the reader whole.
    const std::filesystem::path unicode = m_dir.Path() / std::filesystem::path(u8"Пульт ü ☃.ccf");
    WriteFileBytes(unicode, BuildDemoCcf());
    Load(unicode);
    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(m_dialog.SourceKeyCount(), 8u);
    Load(m_demo);
    // A file without the CCF signature: reported, the keys stay.
    Load(m_notCcf);
    EXPECT_EQ(m_messages, std::vector<std::wstring>{L"CAN NOT OPEN"});
    EXPECT_EQ(m_dialog.SourceKeyCount(), 8u);
    // A path that names no file is not tried while typed, but when Enter finishes it.
    m_messages.clear();
    SetFocus(m_dialog.Item(IDC_SOURCE_FILE));
    Load(m_dir / "missing.ccf");
    EXPECT_TRUE(m_messages.empty());
    PressKey(m_dialog.Item(IDC_SOURCE_FILE), VK_RETURN);
    Pump(50);
    EXPECT_EQ(m_messages, std::vector<std::wstring>{L"CAN NOT OPEN"});
    EXPECT_FALSE(m_dialog.IsEnded());
    // Leaving the box does not report the same text twice.
    SetFocus(m_dialog.Item(IDC_ERASE));
    Pump(50);
    EXPECT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_dialog.SourceKeyCount(), 8u);
}

TEST_F(Win32CodeSelection, EnterOnAFocusedPushButtonPressesIt)
{
    Show();
    Load(m_demo);
    SetFocus(m_dialog.Item(IDC_CLEAR_ALL));
    PressKey(m_dialog.Item(IDC_CLEAR_ALL), VK_RETURN);
    Pump(50);
    EXPECT_FALSE(m_dialog.IsEnded());
    EXPECT_EQ(m_dialog.Logic().FunctionKey(2).m_eProtocol, EIrProtocol::Empty);
    SetFocus(m_dialog.Item(IDC_ERASE));
    PressKey(m_dialog.Item(IDC_ERASE), VK_RETURN);
    Pump(50);
    EXPECT_EQ(Text(IDC_CODE_TEXT), L" (EMPTY) ");
    SetFocus(m_dialog.Item(IDC_CANCEL_BUTTON));
    PressKey(m_dialog.Item(IDC_CANCEL_BUTTON), VK_RETURN);
    Pump(50);
    EXPECT_TRUE(m_dialog.IsEnded());
    EXPECT_EQ(m_dialog.Result(), kCodeSelectionCancel);
    EXPECT_TRUE(m_dialog.Codes().empty());
}

TEST(Win32CodeSelectionModal, OkCancelEscapeCloseBoxAndEnterEndTheRun)
{
    CTempDir dir;
    WriteFileBytes(dir / "demo.ccf", BuildDemoCcf());
    const auto run = [](std::function<void(HWND)> step, std::vector<uint32_t>* codes)
    {
        CCodeSelectionDlg dialog;
        WhenShown(L"Code Selection", std::move(step));
        const INT_PTR result = dialog.DoModal(nullptr);
        *codes = dialog.Codes();
        return result;
    };
    std::vector<uint32_t> codes;
    EXPECT_EQ(run([](HWND d) { SendDlgItemMessageW(d, IDC_OK_BUTTON, BM_CLICK, 0, 0); }, &codes),
              kCodeSelectionOk);
    EXPECT_EQ(codes, std::vector<uint32_t>(14, 0));
    EXPECT_EQ(run([](HWND d) { SendDlgItemMessageW(d, IDC_CANCEL_BUTTON, BM_CLICK, 0, 0); }, &codes),
              kCodeSelectionCancel);
    EXPECT_TRUE(codes.empty());
    EXPECT_EQ(run([](HWND d) { PressKey(GetDlgItem(d, IDC_SOURCE_FILE), VK_ESCAPE); }, &codes),
              kCodeSelectionCancel);
    EXPECT_EQ(run([](HWND d) { PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }, &codes), kCodeSelectionCancel);
    EXPECT_TRUE(codes.empty());
    // Enter on a function key is "OK": the assignments are handed back.
    const std::wstring demo = (dir / "demo.ccf").wstring();
    EXPECT_EQ(run(
                  [&](HWND d)
                  {
                      SetDlgItemTextW(d, IDC_SOURCE_FILE, demo.c_str());
                      SetFocus(GetDlgItem(d, IDC_FUNCTION_KEY_9));
                      PressKey(GetDlgItem(d, IDC_FUNCTION_KEY_9), VK_RETURN);
                  },
                  &codes),
              kCodeSelectionOk);
    ASSERT_EQ(codes.size(), 14u);
    EXPECT_NE(codes[9], 0u);  // "Mute"
    EXPECT_NE(codes[2], 0u);  // "Vol +"
    EXPECT_EQ(codes[12], 0u); // no default name
}

namespace
{

bool Inside(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// Whether `rect` is centred over `over`, to a pixel, or was moved only to stay inside
// `area`.
bool CentredOrKeptInside(const RECT& rect, const RECT& over, const RECT& area)
{
    const bool bCentred = std::abs((rect.left + rect.right) - (over.left + over.right)) <= 2 &&
                          std::abs((rect.top + rect.bottom) - (over.top + over.bottom)) <= 2;
    const bool bAtEdge = rect.left == area.left || rect.right == area.right || rect.top == area.top ||
                         rect.bottom == area.bottom;
    return bCentred || bAtEdge;
}

RECT ToRect(const CPixelRect& area)
{
    return {area.m_nLeft, area.m_nTop, area.m_nLeft + area.m_nWidth, area.m_nTop + area.m_nHeight};
}

} // namespace

// At any density (this runs at 96, 144 and 192 dots per inch), the main window opens
// centred in the work area and the code selection dialog centred over it, each inside
// the work area, with the source keys inside "Source"; a change of density places the
// keys again. Screenshots are named by density.
TEST(Win32Placement, DialogsFitTheWorkAreaCentredOverTheirOwner)
{
    CTempDir dir;
    const std::filesystem::path remote = dir / "demo.ccf";
    WriteFileBytes(remote, BuildDemoCcf());
    CMainDlg window;
    ASSERT_TRUE(window.Create(nullptr));
    Pump(50);
    const int dpi = WindowDpi(window.Handle());
    const std::string suffix = "-" + std::to_string(dpi) + "dpi";
    const RECT area = ToRect(WorkAreaOf(window.Handle()));
    RECT main{};
    GetWindowRect(window.Handle(), &main);
    SCOPED_TRACE(testing::Message() << dpi << " dpi, work area " << area.right - area.left << "x"
                                    << area.bottom - area.top << ", main window " << main.right - main.left
                                    << "x" << main.bottom - main.top);
    EXPECT_TRUE(Inside(main, area));
    EXPECT_TRUE(CentredOrKeptInside(main, area, area));
    EXPECT_TRUE(SaveScreenshot(window.Handle(), "main-window" + suffix));

    CCodeSelectionDlg selection;
    bool bShown = false;
    WhenShown(L"Code Selection",
              [&](HWND dialog)
              {
                  bShown = true;
                  RECT rect{};
                  GetWindowRect(dialog, &rect);
                  EXPECT_TRUE(Inside(rect, area)) << rect.right - rect.left << "x" << rect.bottom - rect.top;
                  EXPECT_TRUE(CentredOrKeptInside(rect, main, area));
                  SetDlgItemTextW(dialog, IDC_SOURCE_FILE, remote.wstring().c_str());
                  Pump(50);
                  ASSERT_GE(selection.SourceKeyCount(), 2u);
                  const RECT source = TemplateRect(dialog, 25, 78, 240, 219);
                  for (const CSourceKeyState& key : selection.Logic().SourceKeys())
                      EXPECT_TRUE(Inside(ClientRectOf(dialog, selection.SourceKey(key.m_nId)), source))
                          << key.m_nId;
                  // A key picked from the keyboard: Tab from "..." into the keys, Space.
                  SetFocus(GetDlgItem(dialog, IDC_SOURCE_BROWSE));
                  PressKey(GetFocus(), VK_TAB);
                  Pump(50);
                  PressKey(GetFocus(), VK_SPACE);
                  Pump(50);
                  EXPECT_NE(TextOf(GetDlgItem(dialog, IDC_CODE_TEXT)), L"");
                  EXPECT_TRUE(SaveScreenshot(dialog, "code-selection-keyboard-pick" + suffix));

                  // Moved to a monitor of twice the density, the keys are twice as large.
                  const int id = selection.Logic().SourceKeys().front().m_nId;
                  const RECT before = ClientRectOf(dialog, selection.SourceKey(id));
                  RECT suggested = rect;
                  SendMessageW(dialog, WM_DPICHANGED, MAKEWPARAM(2 * dpi, 2 * dpi),
                               reinterpret_cast<LPARAM>(&suggested));
                  Pump(50);
                  const RECT after = ClientRectOf(dialog, selection.SourceKey(id));
                  EXPECT_NEAR(after.right - after.left, 2 * (before.right - before.left), 2);
                  EXPECT_NEAR(after.left, 2 * before.left, 2);
                  PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
              });
    selection.DoModal(window.Handle());
    EXPECT_TRUE(bShown);
}

#include "gui/win32/MainDlg.h"

#include "gui/win32/CodeSelectionDlg.h"
#include "gui/win32/FileDialogs.h"
#include "gui/win32/KeyboardRules.h"
#include "gui/win32/ValueEntryDlg.h"
#include "gui/win32/WideText.h"
#include "gui/win32/resource.h"

#include <commctrl.h>
#include <shellapi.h>
#include <uxtheme.h>
#include <windowsx.h>

#include <algorithm>

namespace corvalin::win32
{

namespace
{

constexpr UINT_PTR kPresenceTimer = 1;
// A job of another thread: LPARAM is a heap std::function<void()> that the window
// runs and deletes.
constexpr UINT kRunJobMessage = WM_APP + 1;
// The context menu's entries come as WM_COMMAND with this plus the model's command;
// the range lies below every control id of the template.
constexpr int kMenuCommandBase = 0x100;
static_assert(kMenuCommandBase > IDOK && kMenuCommandBase + kMenuCommandCount < IDC_UPDATE);
constexpr const wchar_t* kMessageCaption = L"Corvalin";

UINT BoxIcon(EMessageIcon icon)
{
    switch (icon)
    {
    case EMessageIcon::Information:
        return MB_ICONINFORMATION;
    case EMessageIcon::Warning:
        return MB_ICONWARNING;
    case EMessageIcon::Error:
        return MB_ICONERROR;
    }
    return 0;
}

// The window's rules know Enter with no modifier (Shift, Ctrl, Alt) and a few plain keys.
std::optional<EWindowKey> WindowKeyOf(const MSG& msg)
{
    if (msg.message != WM_KEYDOWN)
        return std::nullopt;
    if (IsPlainEnter(msg))
        return EWindowKey::Enter;
    const bool modified = (GetKeyState(VK_SHIFT) & 0x8000) || (GetKeyState(VK_CONTROL) & 0x8000) ||
                          (GetKeyState(VK_MENU) & 0x8000);
    if (modified)
        return std::nullopt;
    switch (msg.wParam)
    {
    case VK_SPACE:
        return EWindowKey::Space;
    case VK_F1:
        return EWindowKey::F1;
    case VK_F2:
        return EWindowKey::F2;
    default:
        return std::nullopt;
    }
}

std::optional<std::filesystem::path> ToPath(const std::wstring& path)
{
    if (path.empty())
        return std::nullopt;
    return std::filesystem::path(path);
}

// The template's control ids are the model's.
static_assert(int(EMainControl::Close) == IDOK);
static_assert(int(EMainControl::Update) == IDC_UPDATE);
static_assert(int(EMainControl::Device) == IDC_DEVICE);
static_assert(int(EMainControl::Progress) == IDC_PROGRESS);
static_assert(int(EMainControl::BundlePath) == IDC_BUNDLE_PATH);
static_assert(int(EMainControl::Browse) == IDC_BROWSE);
static_assert(int(EMainControl::Status) == IDC_STATUS);
static_assert(int(EMainControl::Group) == IDC_PARAMETER_GROUP);
static_assert(int(EMainControl::Parameters) == IDC_PARAMETERS);
static_assert(int(EMainControl::Store) == IDC_STORE);
static_assert(int(EMainControl::Product) == IDC_PRODUCT);

} // namespace

CMainDlg::CMainDlg(const CWindowTiming& timing, const CLinkTiming& linkTiming)
    : CDialogWindow(IDD_CORVALIN_DIALOG), m_timing(timing), m_linkTiming(linkTiming),
      m_chooseOpen(AskOpenFile), m_chooseSave(AskSaveFile)
{
}

CMainDlg::~CMainDlg()
{
    // The window goes here, while this class still handles its WM_DESTROY.
    if (Handle())
        DestroyWindow(Handle());
    DropModel();
}

void CMainDlg::SetFileChoosers(FileChooser chooseOpen, FileChooser chooseSave)
{
    m_chooseOpen = std::move(chooseOpen);
    m_chooseSave = std::move(chooseSave);
}

BOOL CMainDlg::OnInitDialog()
{
    AddAboutToSystemMenu();
    SetApplicationIcon();
    // Without a visual style the bar is drawn in the colour it is given. A class list
    // of one blank matches no style; Wine refuses an empty one.
    HWND bar = ControlOf(EMainControl::Progress);
    SetWindowTheme(bar, L" ", L" ");
    // Its border is drawn again, now without the style.
    SetWindowPos(bar, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    m_hToolTips = nullptr;
    m_toolControls.clear();
    m_pModel =
        std::make_unique<CMainDialogModel>(static_cast<IMainDialogView&>(*this), m_timing, m_linkTiming);
    m_pModel->KeepFoldersIn(m_folderStore);
    m_pModel->OnInitDialog();
    DragAcceptFiles(Handle(), TRUE);
    // Opened from the queue, once the window shows, so a code selection it offers
    // shows above it.
    if (m_openAtStart)
        PostToUiThread([this, file = *m_openAtStart] { m_pModel->OpenFile(file); });
    return TRUE;
}

void CMainDlg::OnDropFiles(HDROP drop)
{
    std::vector<std::filesystem::path> files;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT n = 0; n < count; ++n)
    {
        std::wstring name(std::size_t(DragQueryFileW(drop, n, nullptr, 0)) + 1, L'\0');
        name.resize(DragQueryFileW(drop, n, name.data(), UINT(name.size())));
        files.emplace_back(name);
    }
    DragFinish(drop);
    if (m_pModel)
        m_pModel->OnDrop(files);
}

void CMainDlg::DropModel()
{
    m_pModel.reset();
    // The worker and the probe are joined: nothing is posted after these.
    MSG msg;
    while (Handle() && PeekMessageW(&msg, Handle(), kRunJobMessage, kRunJobMessage, PM_REMOVE))
        delete reinterpret_cast<std::function<void()>*>(msg.lParam);
}

bool CMainDlg::OnCommand(int id, int code, HWND control)
{
    if (!m_pModel)
        return CDialogWindow::OnCommand(id, code, control);
    switch (id)
    {
    case IDOK:
    case IDCANCEL:
        // While an update runs the user may keep the window open.
        if (!m_pModel->CanClose())
            return true;
        m_pModel->OnClose();
        break;
    case IDC_BROWSE:
        if (code == BN_CLICKED)
            m_pModel->OpenBundleOrImage();
        return true;
    case IDC_PRODUCT:
        if (code == CBN_SELCHANGE)
            m_pModel->SelectProduct(int(SendMessageW(control, CB_GETCURSEL, 0, 0)));
        return true;
    case IDC_PARAMETERS:
        if (code == LBN_DBLCLK)
            m_pModel->ChangeParameter(int(SendMessageW(control, LB_GETCURSEL, 0, 0)));
        return true;
    case IDC_STORE:
        if (code == BN_CLICKED)
            m_pModel->StoreImage();
        return true;
    case IDC_UPDATE:
        if (code == BN_CLICKED)
            m_pModel->OnUpdate();
        return true;
    default:
        break;
    }
    if (id >= kMenuCommandBase && id < kMenuCommandBase + kMenuCommandCount)
    {
        m_pModel->OnMenuCommand(EMenuCommand(id - kMenuCommandBase), SelectedParameterRow());
        return true;
    }
    return CDialogWindow::OnCommand(id, code, control);
}

bool CMainDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result)
{
    switch (message)
    {
    case WM_TIMER:
        if (wParam != kPresenceTimer)
            return false;
        if (m_pModel)
            m_pModel->OnTimer();
        result = 0;
        return true;
    case kRunJobMessage:
    {
        const std::unique_ptr<std::function<void()>> job(reinterpret_cast<std::function<void()>*>(lParam));
        if (m_pModel && job && *job)
            (*job)();
        result = 0;
        return true;
    }
    case WM_CONTEXTMENU:
        ShowContextMenu(lParam);
        result = 0;
        return true;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        result = 0;
        return true;
    case WM_DESTROY:
        DropModel();
        m_hToolTips = nullptr;
        m_toolControls.clear();
        return false;
    default:
        return false;
    }
}

// The window's keys go by the model's rules, whichever control holds the focus.
bool CMainDlg::PreTranslateMessage(MSG& msg)
{
    const std::optional<EWindowKey> key = WindowKeyOf(msg);
    // A held key repeats its press; the rules act once.
    if (!key || !m_pModel || (msg.lParam & (1 << 30)))
        return false;
    HWND focus = GetFocus();
    std::optional<EMainControl> focused;
    if (focus && GetParent(focus) == Handle() && GetDlgCtrlID(focus) != 0)
        focused = EMainControl(GetDlgCtrlID(focus));
    const bool listOpen = SendMessageW(Item(IDC_PRODUCT), CB_GETDROPPEDSTATE, 0, 0) != 0;
    switch (MainDialogKeyAction(*key, focused, listOpen))
    {
    case EKeyAction::None:
        return false;
    case EKeyAction::PressFocused:
        SendMessageW(Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), BN_CLICKED),
                     reinterpret_cast<LPARAM>(focus));
        return true;
    case EKeyAction::PressDefault:
        SendMessageW(Handle(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(Item(IDOK)));
        return true;
    case EKeyAction::ChangeParameter:
        m_pModel->ChangeParameter(SelectedParameterRow());
        return true;
    case EKeyAction::ShowAbout:
        m_pModel->ShowAbout();
        return true;
    }
    return false;
}

void CMainDlg::OnAboutRequest()
{
    if (m_pModel)
        m_pModel->ShowAbout();
}

int CMainDlg::SelectedParameterRow() const
{
    return int(SendMessageW(ControlOf(EMainControl::Parameters), LB_GETCURSEL, 0, 0));
}

void CMainDlg::ShowContextMenu(LPARAM screenPoint)
{
    if (!m_pModel)
        return;
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    for (const CMenuEntry& entry : m_pModel->ContextMenu(SelectedParameterRow()))
    {
        if (!entry.m_command)
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        else
            AppendMenuW(menu,
                        MF_STRING | (entry.m_bChecked ? MF_CHECKED : MF_UNCHECKED) |
                            (entry.m_bEnabled ? MF_ENABLED : MF_GRAYED),
                        UINT_PTR(kMenuCommandBase + int(*entry.m_command)), FromUtf8(entry.m_pText).c_str());
    }
    POINT at{GET_X_LPARAM(screenPoint), GET_Y_LPARAM(screenPoint)};
    // From the keyboard (Shift+F10) the menu opens at the window's corner.
    if (at.x == -1 && at.y == -1)
    {
        at = {0, 0};
        ClientToScreen(Handle(), &at);
    }
    // The chosen entry comes as WM_COMMAND.
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, Handle(), nullptr);
    DestroyMenu(menu);
}

void CMainDlg::SetTitle(const std::string& text)
{
    SetWindowTextW(Handle(), FromUtf8(text).c_str());
}

void CMainDlg::SetText(EMainControl control, const std::string& text)
{
    SetWindowTextW(ControlOf(control), FromUtf8(text).c_str());
    // The status field is narrow; its tooltip shows a long text whole.
    if (control == EMainControl::Status)
        SetToolTip(ControlOf(control), text);
}

void CMainDlg::SetDeviceHint(const std::string& text)
{
    SetToolTip(ControlOf(EMainControl::Device), text);
}

void CMainDlg::SetToolTip(HWND control, const std::string& text)
{
    // The size without the last member, which common controls before version 6 refuse.
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = Handle();
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    std::wstring shown = FromUtf8(text);
    tool.lpszText = shown.data();
    if (!m_hToolTips)
    {
        if (text.empty())
            return;
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES};
        InitCommonControlsEx(&controls);
        m_hToolTips =
            CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr,
                            GetModuleHandleW(nullptr), nullptr);
        if (!m_hToolTips)
            return;
        // A hint is a long sentence: it wraps at about a third of a screen.
        SendMessageW(m_hToolTips, TTM_SETMAXTIPWIDTH, 0, 400);
    }
    // A control's tool is made with its first text and emptied, not removed, after.
    if (std::find(m_toolControls.begin(), m_toolControls.end(), control) == m_toolControls.end())
    {
        SendMessageW(m_hToolTips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        m_toolControls.push_back(control);
    }
    else
        SendMessageW(m_hToolTips, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void CMainDlg::EnableControl(EMainControl control, bool enabled)
{
    EnableWindow(ControlOf(control), enabled ? TRUE : FALSE);
}

void CMainDlg::FillList(EMainControl control, const std::vector<std::string>& lines)
{
    HWND list = ControlOf(control);
    if (control == EMainControl::Product)
    {
        SendMessageW(list, CB_RESETCONTENT, 0, 0);
        for (const std::string& line : lines)
            SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(FromUtf8(line).c_str()));
        // A drop-down list shows no product until the user picks one.
        SendMessageW(list, CB_SETCURSEL, WPARAM(-1), 0);
        return;
    }
    // The user keeps their place in the list across a change.
    const LRESULT row = SendMessageW(list, LB_GETCURSEL, 0, 0);
    const LRESULT top = SendMessageW(list, LB_GETTOPINDEX, 0, 0);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (const std::string& line : lines)
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(FromUtf8(line).c_str()));
    const LRESULT count = LRESULT(lines.size());
    if (row >= 0 && row < count)
        SendMessageW(list, LB_SETCURSEL, WPARAM(row), 0);
    if (top > 0 && top < count)
        SendMessageW(list, LB_SETTOPINDEX, WPARAM(top), 0);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

void CMainDlg::SelectEntry(EMainControl control, int index)
{
    if (control == EMainControl::Product)
        SendMessageW(ControlOf(control), CB_SETCURSEL, WPARAM(index), 0);
}

void CMainDlg::SetProgressRange(int minimum, int maximum)
{
    SendMessageW(ControlOf(EMainControl::Progress), PBM_SETRANGE32, WPARAM(minimum), LPARAM(maximum));
}

void CMainDlg::SetProgressPos(int position)
{
    SendMessageW(ControlOf(EMainControl::Progress), PBM_SETPOS, WPARAM(position), 0);
}

void CMainDlg::SetProgressColor(uint32_t color)
{
    // The model's value is a COLORREF: red + 256 * green + 65536 * blue.
    SendMessageW(ControlOf(EMainControl::Progress), PBM_SETBARCOLOR, 0, LPARAM(COLORREF(color)));
}

void CMainDlg::StartTimer(int periodMs)
{
    SetTimer(Handle(), kPresenceTimer, UINT(periodMs), nullptr);
}

void CMainDlg::StopTimer()
{
    KillTimer(Handle(), kPresenceTimer);
}

std::optional<std::filesystem::path> CMainDlg::ChooseOpenFile(const CFileDialog& dialog)
{
    return ToPath(m_chooseOpen(Handle(), dialog));
}

std::optional<std::filesystem::path> CMainDlg::ChooseSaveFile(const CFileDialog& dialog)
{
    return ToPath(m_chooseSave(Handle(), dialog));
}

void CMainDlg::ShowMessage(const std::string& text, EMessageIcon icon)
{
    MessageBoxW(Handle(), FromUtf8(text).c_str(), kMessageCaption, MB_OK | BoxIcon(icon));
}

bool CMainDlg::AskYesNo(const std::string& text)
{
    return MessageBoxW(Handle(), FromUtf8(text).c_str(), kMessageCaption,
                       MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

void CMainDlg::OpenNotice(const std::string& text, EMessageIcon icon)
{
    // Shown from a posted job, so this returns at once and the window goes on serving
    // the status line and the bar while the worker waits for the user.
    PostToUiThread(
        [this, shown = FromUtf8(text), icon]
        {
            MessageBoxW(Handle(), shown.c_str(), kMessageCaption, MB_OK | BoxIcon(icon));
            // The window may have been closed meanwhile, and the model with it.
            if (m_pModel)
                m_pModel->OnNoticeClosed();
        });
}

void CMainDlg::ShowAbout()
{
    CDialogWindow::ShowAbout();
}

bool CMainDlg::RunValueEntry(CValueEntry& entry)
{
    CValueEntryDlg dialog(entry);
    if (dialog.DoModal(Handle()) != IDOK)
        return false;
    entry = dialog.Entry();
    return true;
}

CIrDialogOutcome CMainDlg::RunCodeSelection()
{
    CCodeSelectionDlg dialog;
    CIrDialogOutcome outcome;
    outcome.m_bAccepted = dialog.DoModal(Handle()) == kCodeSelectionOk;
    outcome.m_codes = dialog.Codes();
    outcome.m_nIrType = dialog.GetIrType();
    return outcome;
}

void CMainDlg::PostToUiThread(std::function<void()> job)
{
    // Called only while the model lives, that is between the window's set-up and its
    // WM_DESTROY, so the handle is the window's. A job the queue refuses is dropped.
    auto* posted = new std::function<void()>(std::move(job));
    if (!PostMessageW(Handle(), kRunJobMessage, 0, reinterpret_cast<LPARAM>(posted)))
        delete posted;
}

} // namespace corvalin::win32

#include "gui/win32/DialogWindow.h"

#include "gui/win32/AboutDlg.h"
#include "gui/win32/DialogFit.h"
#include "gui/win32/resource.h"

#include <algorithm>
#include <vector>

namespace corvalin::win32
{

namespace
{

// The live dialogs of this thread, the newest last, and the message filter that offers
// them their keys while a modal loop runs.
thread_local std::vector<CDialogWindow*> g_dialogs;
thread_local HHOOK g_hFilter = nullptr;

} // namespace

HINSTANCE ResourceModule()
{
    return GetModuleHandleW(nullptr);
}

CDialogWindow::CDialogWindow(int templateId) : m_nTemplateId(templateId) {}

CDialogWindow::~CDialogWindow()
{
    if (m_hWnd && !m_bModal)
        DestroyWindow(m_hWnd);
    Unregister();
    if (m_hIcon)
        DestroyIcon(m_hIcon);
    if (m_hSmallIcon)
        DestroyIcon(m_hSmallIcon);
}

// The template as it fits the screen; null for the resource itself.
const DLGTEMPLATE* CDialogWindow::FitTemplate(HWND owner)
{
    m_fitted = FitDialogTemplate(m_nTemplateId, owner);
    return m_fitted.m_bytes.empty() ? nullptr : reinterpret_cast<const DLGTEMPLATE*>(m_fitted.m_bytes.data());
}

INT_PTR CDialogWindow::DoModal(HWND owner)
{
    m_bModal = true;
    m_bEnded = false;
    const DLGTEMPLATE* fitted = FitTemplate(owner);
    const LPARAM self = reinterpret_cast<LPARAM>(this);
    const INT_PTR result =
        fitted ? DialogBoxIndirectParamW(ResourceModule(), fitted, owner, DialogProc, self)
               : DialogBoxParamW(ResourceModule(), MAKEINTRESOURCEW(m_nTemplateId), owner, DialogProc, self);
    m_bModal = false;
    return result;
}

HWND CDialogWindow::Create(HWND owner)
{
    m_bModal = false;
    m_bEnded = false;
    const DLGTEMPLATE* fitted = FitTemplate(owner);
    const LPARAM self = reinterpret_cast<LPARAM>(this);
    if (fitted)
        CreateDialogIndirectParamW(ResourceModule(), fitted, owner, DialogProc, self);
    else
        CreateDialogParamW(ResourceModule(), MAKEINTRESOURCEW(m_nTemplateId), owner, DialogProc, self);
    if (m_hWnd)
        ShowWindow(m_hWnd, SW_SHOW);
    return m_hWnd;
}

std::wstring CDialogWindow::ItemText(int id) const
{
    HWND item = Item(id);
    if (!item)
        return {};
    std::wstring text(std::size_t(GetWindowTextLengthW(item)) + 1, L'\0');
    const int length = GetWindowTextW(item, text.data(), int(text.size()));
    text.resize(std::size_t(std::max(length, 0)));
    return text;
}

void CDialogWindow::EndDialog(INT_PTR result)
{
    m_nResult = result;
    m_bEnded = true;
    if (m_bModal)
        ::EndDialog(m_hWnd, result);
    else
        ShowWindow(m_hWnd, SW_HIDE);
}

std::wstring CDialogWindow::AboutEntryText()
{
    const wchar_t* text = nullptr;
    const int length = LoadStringW(ResourceModule(), IDS_ABOUTBOX, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, std::size_t(length)) : std::wstring();
}

void CDialogWindow::AddAboutToSystemMenu()
{
    const std::wstring text = AboutEntryText();
    HMENU menu = GetSystemMenu(m_hWnd, FALSE);
    if (text.empty() || !menu)
        return;
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, text.c_str());
    m_bAboutInMenu = true;
}

void CDialogWindow::ShowAbout()
{
    CAboutDlg about;
    about.DoModal(m_hWnd);
}

void CDialogWindow::SetApplicationIcon()
{
    if (!m_hIcon)
        m_hIcon = static_cast<HICON>(LoadImageW(ResourceModule(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                                GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    if (!m_hSmallIcon)
        m_hSmallIcon =
            static_cast<HICON>(LoadImageW(ResourceModule(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                          GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hSmallIcon));
}

bool CDialogWindow::OnCommand(int id, int, HWND)
{
    if (id == IDOK || id == IDCANCEL)
    {
        EndDialog(id);
        return true;
    }
    return false;
}

bool CDialogWindow::OnMessage(UINT, WPARAM, LPARAM, INT_PTR&)
{
    return false;
}

bool CDialogWindow::PreTranslateMessage(MSG&)
{
    return false;
}

void CDialogWindow::Register()
{
    g_dialogs.push_back(this);
    if (!g_hFilter)
        g_hFilter = SetWindowsHookExW(WH_MSGFILTER, MessageFilter, nullptr, GetCurrentThreadId());
}

void CDialogWindow::Unregister()
{
    const auto found = std::find(g_dialogs.begin(), g_dialogs.end(), this);
    if (found == g_dialogs.end())
        return;
    g_dialogs.erase(found);
    if (g_dialogs.empty() && g_hFilter)
    {
        UnhookWindowsHookEx(g_hFilter);
        g_hFilter = nullptr;
    }
}

void CDialogWindow::PumpMessage(MSG& msg)
{
    if (CallMsgFilterW(&msg, MSGF_DIALOGBOX))
        return;
    for (auto it = g_dialogs.rbegin(); it != g_dialogs.rend(); ++it)
    {
        HWND dialog = (*it)->m_hWnd;
        if (dialog && (msg.hwnd == dialog || IsChild(dialog, msg.hwnd)) && IsDialogMessageW(dialog, &msg))
            return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

LRESULT CALLBACK CDialogWindow::MessageFilter(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == MSGF_DIALOGBOX)
    {
        MSG* msg = reinterpret_cast<MSG*>(lParam);
        // The innermost dialog that holds the window the message is for.
        for (auto it = g_dialogs.rbegin(); it != g_dialogs.rend(); ++it)
        {
            HWND dialog = (*it)->m_hWnd;
            if (dialog && (msg->hwnd == dialog || IsChild(dialog, msg->hwnd)))
            {
                // F1 anywhere in a dialog with About in its system menu shows it.
                if (msg->message == WM_KEYDOWN && msg->wParam == VK_F1 && (*it)->m_bAboutInMenu)
                {
                    (*it)->OnAboutRequest();
                    return 1;
                }
                if ((*it)->PreTranslateMessage(*msg))
                    return 1;
                break;
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

INT_PTR CALLBACK CDialogWindow::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CDialogWindow* dialog = nullptr;
    if (message == WM_INITDIALOG)
    {
        dialog = reinterpret_cast<CDialogWindow*>(lParam);
        SetWindowLongPtrW(hWnd, DWLP_USER, lParam);
        dialog->m_hWnd = hWnd;
        dialog->Register();
    }
    else
    {
        dialog = reinterpret_cast<CDialogWindow*>(GetWindowLongPtrW(hWnd, DWLP_USER));
    }
    if (!dialog)
        return FALSE;
    const INT_PTR result = dialog->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY)
    {
        dialog->Unregister();
        dialog->m_hWnd = nullptr;
        SetWindowLongPtrW(hWnd, DWLP_USER, 0);
    }
    return result;
}

INT_PTR CDialogWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_INITDIALOG:
        PlaceDialog(m_hWnd);
        return OnInitDialog();
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)) ? TRUE : FALSE;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == IDM_ABOUTBOX)
        {
            OnAboutRequest();
            return TRUE;
        }
        break;
    case WM_HELP:
        if (m_bAboutInMenu)
        {
            OnAboutRequest();
            return TRUE;
        }
        break;
    case WM_QUERYDRAGICON:
        if (m_hIcon)
            return reinterpret_cast<INT_PTR>(m_hIcon);
        break;
    default:
        break;
    }
    INT_PTR result = FALSE;
    if (OnMessage(message, wParam, lParam, result))
    {
        // Results of messages other than these few travel through DWLP_MSGRESULT.
        if (message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORBTN || message == WM_CTLCOLORDLG ||
            message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX || message == WM_QUERYDRAGICON)
            return result;
        SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
    return FALSE;
}

} // namespace corvalin::win32

#include "gui/win32/CodeSelectionDlg.h"

#include "gui/model/MainDialogLayout.h"

#include "gui/win32/FileDialogs.h"
#include "gui/win32/KeyboardRules.h"
#include "gui/win32/RegistryFolderStore.h"
#include "gui/win32/WideText.h"
#include "gui/win32/resource.h"

#include <shellapi.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace corvalin::win32
{

namespace
{

constexpr const wchar_t* kApplicationName = L"Corvalin";
// Posted when the focus left the source file box: a load may destroy the source key
// that is taking the focus, so it waits until that click is over.
constexpr UINT kFinishSourcePath = WM_APP + 1;
// Posted after a change of density, with the new dots per inch.
constexpr UINT kPlaceSourceKeys = WM_APP + 2;

bool IsFunctionKey(int id)
{
    return id >= kFirstFunctionKeyId && id < kFirstFunctionKeyId + kFunctionKeyCount;
}

bool IsSourceKey(int id)
{
    return id >= kFirstSourceKeyId && id <= kLastPickableSourceKeyId;
}

std::wstring Trimmed(const std::wstring& text)
{
    const auto first = text.find_first_not_of(L" \t\r\n\f\v");
    if (first == std::wstring::npos)
        return {};
    const auto last = text.find_last_not_of(L" \t\r\n\f\v");
    return text.substr(first, last - first + 1);
}

} // namespace

CCodeSelectionDlg::CCodeSelectionDlg() : CDialogWindow(IDD_CODE_SELECTION), m_logic(this, nullptr) {}

// The key windows go before the logic that owns their reader.
CCodeSelectionDlg::~CCodeSelectionDlg()
{
    RemoveSourceKeys();
}

HWND CCodeSelectionDlg::SourceKey(int id) const
{
    for (const CSourceKeyWindow& key : m_sourceKeys)
        if (key.m_nId == id)
            return key.m_hWnd;
    return nullptr;
}

BOOL CCodeSelectionDlg::OnInitDialog()
{
    AddAboutToSystemMenu();
    SetApplicationIcon();
    m_nKeyDpi = FittedDpi(WindowDpi(Handle()));
    ArrangeTabOrder();
    DragAcceptFiles(Handle(), TRUE);
    // The focus goes to the first tab stop, the source file box.
    return TRUE;
}

bool CCodeSelectionDlg::OnCommand(int id, int code, HWND)
{
    if (id == IDC_SOURCE_FILE)
    {
        if (code == EN_CHANGE)
            OnSourceTextChanged();
        else if (code == EN_KILLFOCUS)
            PostMessageW(Handle(), kFinishSourcePath, 0, 0);
        return true;
    }
    if (code != BN_CLICKED)
        return false;
    if (IsFunctionKey(id))
        m_logic.OnFunctionKey(id);
    else if (IsSourceKey(id))
        m_logic.OnSourceKey(id);
    else if (id == IDC_SOURCE_BROWSE)
        OnBrowse();
    else if (id == IDC_ERASE)
        m_logic.OnErase();
    else if (id == IDC_CLEAR_ALL)
        m_logic.OnClearAll();
    else if (id == IDC_DEFAULT)
        OnDefault();
    else if (id == IDC_OK_BUTTON || id == IDOK)
        OnOkButton();
    else if (id == IDC_CANCEL_BUTTON || id == IDCANCEL)
        EndDialog(kCodeSelectionCancel);
    else
        return false;
    return true;
}

bool CCodeSelectionDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result)
{
    if (message == WM_DRAWITEM)
    {
        OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        result = TRUE;
        return true;
    }
    if (message == kFinishSourcePath)
    {
        FinishSourcePath();
        return true;
    }
    if (message == WM_DPICHANGED)
    {
        // Moved to a monitor of another density. The keys are placed again once Windows
        // has scaled the dialog and its template's controls (after this message).
        PostMessageW(Handle(), kPlaceSourceKeys, WPARAM(HIWORD(wParam)), 0);
        return false;
    }
    if (message == kPlaceSourceKeys)
    {
        m_nKeyDpi = FittedDpi(int(wParam));
        for (CSourceKeyWindow& key : m_sourceKeys)
            PlaceSourceKey(key);
        return true;
    }
    if (message == WM_DROPFILES)
    {
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        result = 0;
        return true;
    }
    return false;
}

void CCodeSelectionDlg::OnDropFiles(HDROP drop)
{
    std::vector<std::string> files;
    std::vector<std::wstring> names;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT n = 0; n < count; ++n)
    {
        std::wstring name(std::size_t(DragQueryFileW(drop, n, nullptr, 0)) + 1, L'\0');
        name.resize(DragQueryFileW(drop, n, name.data(), UINT(name.size())));
        files.push_back(ToUtf8(name));
        names.push_back(name);
    }
    DragFinish(drop);
    // The change of the box's text loads the file.
    if (IsCcfDrop(files))
        SetDlgItemTextW(Handle(), IDC_SOURCE_FILE, names.front().c_str());
}

void CCodeSelectionDlg::ArrangeTabOrder()
{
    // Each control goes behind the one before it; the z-order is the dialog's tab order.
    HWND previous = HWND_TOP;
    for (int id : kCodeSelectionTabOrder)
    {
        if (id != kFirstSourceKeyId)
        {
            if (HWND control = Item(id))
            {
                SetWindowPos(control, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
                previous = control;
            }
            continue;
        }
        const std::vector<int> order = m_logic.SourceKeysInReadingOrder();
        for (std::size_t n = 0; n < order.size(); ++n)
        {
            HWND key = SourceKey(order[n]);
            if (!key)
                continue;
            // The group's first key is its one tab stop.
            LONG_PTR style = GetWindowLongPtrW(key, GWL_STYLE) & ~(WS_TABSTOP | WS_GROUP);
            if (n == 0)
                style |= WS_TABSTOP | WS_GROUP;
            SetWindowLongPtrW(key, GWL_STYLE, style);
            SetWindowPos(key, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            previous = key;
        }
    }
    // ERASE ends the keys' group.
    SetWindowLongPtrW(Item(IDC_ERASE), GWL_STYLE, GetWindowLongPtrW(Item(IDC_ERASE), GWL_STYLE) | WS_GROUP);
}

bool CCodeSelectionDlg::OnSourceKeyKey(HWND key, WPARAM vk)
{
    const int id = GetDlgCtrlID(key);
    const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    switch (vk)
    {
    case VK_TAB:
        SetFocus(Item(shift ? IDC_SOURCE_BROWSE : IDC_ERASE));
        return true;
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
        if (HWND next = SourceKey(m_logic.NeighbourSourceKey(id, vk == VK_RIGHT || vk == VK_DOWN)))
            SetFocus(next);
        return true;
    case VK_RETURN:
        // Picks the key, as Space does.
        SendMessageW(key, BM_CLICK, 0, 0);
        return true;
    default:
        return false;
    }
}

bool CCodeSelectionDlg::PreTranslateMessage(MSG& msg)
{
    HWND focus = GetFocus();
    if (msg.message == WM_KEYDOWN && focus && GetParent(focus) == Handle() &&
        IsSourceKey(GetDlgCtrlID(focus)) && !(GetKeyState(VK_CONTROL) & 0x8000) &&
        !(GetKeyState(VK_MENU) & 0x8000) && OnSourceKeyKey(focus, msg.wParam))
        return true;
    if (!IsPlainEnter(msg))
        return false;
    if (IsPushButton(focus) && IsChild(Handle(), focus))
        SendMessageW(focus, BM_CLICK, 0, 0);
    else if (focus == Item(IDC_SOURCE_FILE))
        FinishSourcePath();
    else
        OnOkButton();
    return true;
}

void CCodeSelectionDlg::OnBrowse()
{
    // The dialog opens where the last source file was found, in this run or an earlier one.
    CRegistryFolderStore store;
    CFolderMemory folders(&store);
    const std::wstring path = AskOpenCcf(
        Handle(), FileDialogFor(EFileKind::ProntoCodes, folders.FolderFor(EFileKind::ProntoCodes)));
    if (path.empty())
        return;
    folders.Remember(EFileKind::ProntoCodes, std::filesystem::path(path));
    // The change of the box's text loads the file.
    SetDlgItemTextW(Handle(), IDC_SOURCE_FILE, path.c_str());
}

// A path is loaded as soon as the text names an existing file; texts on the way to it
// (every keystroke of a typed path) are not tried, so they raise no message.
void CCodeSelectionDlg::OnSourceTextChanged()
{
    const std::wstring text = ItemText(IDC_SOURCE_FILE);
    const std::wstring path = Trimmed(text);
    std::error_code error;
    if (path.empty() || std::filesystem::is_regular_file(std::filesystem::path(path), error))
        m_logic.OnSourceTextChanged(ToUtf8(text));
}

// A text that was not tried while it was typed is tried now, and reported if it cannot
// be read.
void CCodeSelectionDlg::FinishSourcePath()
{
    if (IsEnded() || !Handle())
        return;
    const std::string text = ToUtf8(ItemText(IDC_SOURCE_FILE));
    if (text != m_logic.SourceText())
        m_logic.OnSourceTextChanged(text);
}

// Clears every function key and reads the named file again, taking the box's text as
// it stands even when it was not tried yet.
void CCodeSelectionDlg::OnDefault()
{
    m_logic.OnClearAll();
    m_logic.OnSourceTextChanged(ToUtf8(ItemText(IDC_SOURCE_FILE)));
}

void CCodeSelectionDlg::OnOkButton()
{
    EndDialog(m_logic.OnOkButton());
}

void CCodeSelectionDlg::OnDrawItem(const DRAWITEMSTRUCT& item)
{
    const int id = int(item.CtlID);
    if (IsFunctionKey(id))
    {
        DrawFunctionKey(item, m_logic.FunctionKey(id - kFirstFunctionKeyId).m_eProtocol);
        return;
    }
    for (const CSourceKeyWindow& key : m_sourceKeys)
        if (key.m_nId == id)
        {
            // A key drawn without the focus has lost it: its pick can no longer be withdrawn.
            if (!DrawSourceKey(item, key.m_look))
                m_logic.ClearToggled(id);
            return;
        }
}

void CCodeSelectionDlg::ShowMessage(const std::string& text, EMessageKind kind)
{
    const std::wstring message = FromUtf8(text);
    if (m_messageHook)
    {
        m_messageHook(message);
        return;
    }
    MessageBoxW(Handle(), message.c_str(), kApplicationName,
                MB_OK | (kind == EMessageKind::Error ? MB_ICONERROR : MB_ICONWARNING));
}

void CCodeSelectionDlg::SetCodeText(const std::string& text)
{
    SetDlgItemTextW(Handle(), IDC_CODE_TEXT, FromLatin1(text).c_str());
}

void CCodeSelectionDlg::SetFunctionText(const std::string& text)
{
    SetDlgItemTextW(Handle(), IDC_FUNCTION_TEXT, FromLatin1(text).c_str());
}

void CCodeSelectionDlg::RemoveSourceKeys()
{
    while (!m_sourceKeys.empty())
    {
        if (m_sourceKeys.back().m_hWnd)
            DestroyWindow(m_sourceKeys.back().m_hWnd);
        m_sourceKeys.pop_back();
    }
}

void CCodeSelectionDlg::AddSourceKey(const CSourceKeyState& key, const CIrKeyRecord& record)
{
    CSourceKeyWindow window;
    window.m_nId = key.m_nId;
    // The key may be smaller than its CCF button; the picture keeps the button's rows.
    window.m_look.m_picture =
        DecodeKeyBitmap(record.bitmapFlags, record.bitmap, record.bitmapSize, record.width, record.height,
                        kMaxKeySide, kMaxKeySide, record.colour);
    // CCF labels are single bytes per character; the Pronto font maps them one to one.
    window.m_look.m_strLabel = FromLatin1(record.label);
    window.m_look.m_nTextColor = record.textColor;
    window.m_look.m_bColourFile = record.colour;
    window.m_look.m_nPointSize = 2 * record.fontSize + 6;
    window.m_place = RECT{key.m_nLeft, key.m_nTop, key.m_nRight, key.m_nBottom};
    m_sourceKeys.push_back(std::move(window));
    // Made after its look is in place: the new window draws at once.
    m_sourceKeys.back().m_hWnd = CreateWindowExW(
        0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW | BS_FLAT, 0, 0, 0, 0, Handle(),
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(key.m_nId)), ResourceModule(), nullptr);
    PlaceSourceKey(m_sourceKeys.back());
    SendMessageW(m_sourceKeys.back().m_hWnd, WM_SETFONT, SendMessageW(Handle(), WM_GETFONT, 0, 0), FALSE);
    // What a screen reader says; the key draws its caption itself.
    SetWindowTextW(m_sourceKeys.back().m_hWnd, FromLatin1(SourceKeyName(record, key.m_nId)).c_str());
    ArrangeTabOrder();
}

void CCodeSelectionDlg::PlaceSourceKey(CSourceKeyWindow& key)
{
    // The dialog's template grows with the screen's density; the keys' pixel places,
    // given for 96 dots per inch, grow with it.
    auto scaled = [this](LONG pixels) { return MulDiv(pixels, m_nKeyDpi, kStandardDpi); };
    key.m_look.m_nDpi = m_nKeyDpi;
    SetWindowPos(key.m_hWnd, nullptr, scaled(key.m_place.left), scaled(key.m_place.top),
                 scaled(key.m_place.right) - scaled(key.m_place.left),
                 scaled(key.m_place.bottom) - scaled(key.m_place.top), SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(key.m_hWnd, nullptr, TRUE);
}

void CCodeSelectionDlg::FunctionKeyChanged(int k)
{
    InvalidateRect(Item(kFirstFunctionKeyId + k), nullptr, TRUE);
}

void CCodeSelectionDlg::FocusCodeText()
{
    SetFocus(Item(IDC_CODE_TEXT));
}

} // namespace corvalin::win32

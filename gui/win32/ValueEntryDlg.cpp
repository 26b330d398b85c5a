#include "gui/win32/ValueEntryDlg.h"

#include "gui/win32/WideText.h"
#include "gui/win32/resource.h"

namespace corvalin::win32
{

CValueEntryDlg::CValueEntryDlg(const CValueEntry& entry) : CDialogWindow(IDD_VALUE_ENTRY), m_entry(entry) {}

BOOL CValueEntryDlg::OnInitDialog()
{
    HWND edit = Item(IDC_VALUE_EDIT);
    HWND choice = Item(IDC_VALUE_CHOICE);
    // The edit box and the drop-down list share one spot; only one of them shows.
    // Hexadecimal entry wins over the choice.
    if (m_entry.m_bChoice && !m_entry.m_bHex)
    {
        ShowWindow(edit, SW_HIDE);
        ShowWindow(choice, SW_SHOW);
        SendMessageW(choice, CB_RESETCONTENT, 0, 0);
        for (const std::string& text : m_entry.m_choices)
            SendMessageW(choice, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(FromUtf8(text).c_str()));
        const int count = int(SendMessageW(choice, CB_GETCOUNT, 0, 0));
        const bool inList = m_entry.m_nValue >= 0 && m_entry.m_nValue < count;
        SendMessageW(choice, CB_SETCURSEL, inList ? WPARAM(m_entry.m_nValue) : WPARAM(-1), 0);
        SetFocus(choice);
    }
    else
    {
        ShowWindow(choice, SW_HIDE);
        ShowWindow(edit, SW_SHOW);
        SetWindowTextW(edit, FromUtf8(ValueEntryText(m_entry)).c_str());
        SendMessageW(edit, EM_SETSEL, 0, -1);
        SetFocus(edit);
    }
    return FALSE;
}

bool CValueEntryDlg::OnCommand(int id, int code, HWND control)
{
    if (id == IDOK)
    {
        const int chosen = int(SendDlgItemMessageW(Handle(), IDC_VALUE_CHOICE, CB_GETCURSEL, 0, 0));
        AcceptValueEntry(m_entry, ToUtf8(ItemText(IDC_VALUE_EDIT)), chosen);
        EndDialog(IDOK);
        return true;
    }
    return CDialogWindow::OnCommand(id, code, control);
}

} // namespace corvalin::win32

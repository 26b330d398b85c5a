#include "gui/win32/MainDlg.h"

#include "gui/win32/KeyboardRules.h"
#include "gui/win32/resource.h"

#include <commctrl.h>

namespace corvalin::win32
{

CMainDlg::CMainDlg() : CDialogWindow(IDD_CORVALIN_DIALOG) {}

BOOL CMainDlg::OnInitDialog()
{
    AddAboutToSystemMenu();
    SetApplicationIcon();
    SendDlgItemMessageW(Handle(), IDC_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendDlgItemMessageW(Handle(), IDC_PROGRESS, PBM_SETPOS, 0, 0);
    // Nothing is connected and nothing is loaded yet.
    EnableWindow(Item(IDC_UPDATE), FALSE);
    EnableWindow(Item(IDC_PRODUCT), FALSE);
    SendDlgItemMessageW(Handle(), IDC_PRODUCT, CB_RESETCONTENT, 0, 0);
    return TRUE;
}

// Enter closes the window wherever the focus is, as the other programs' window does,
// except in the open product list, which it closes.
bool CMainDlg::PreTranslateMessage(MSG& msg)
{
    if (!IsPlainEnter(msg))
        return false;
    HWND focus = GetFocus();
    if (focus == Item(IDC_PRODUCT) && SendMessageW(focus, CB_GETDROPPEDSTATE, 0, 0))
        return false;
    SendMessageW(Handle(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(Item(IDOK)));
    return true;
}

} // namespace corvalin::win32

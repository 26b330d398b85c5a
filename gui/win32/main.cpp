// corvalin.exe: the main window, run modally; the program ends with it.

#include "gui/win32/MainDlg.h"

#include <windows.h>

#include <commctrl.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS;
    InitCommonControlsEx(&controls);
    corvalin::win32::CMainDlg window;
    window.DoModal(nullptr);
    return 0;
}

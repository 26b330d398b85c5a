#include "gui/win32/AboutDlg.h"

#include "gui/win32/resource.h"

namespace corvalin::win32
{

CAboutDlg::CAboutDlg() : CDialogWindow(IDD_ABOUTBOX) {}

} // namespace corvalin::win32

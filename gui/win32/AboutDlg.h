#pragma once
// The About box: the icon, the program's name and version, and "OK".

#include "gui/win32/DialogWindow.h"

namespace corvalin::win32
{

class CAboutDlg : public CDialogWindow
{
  public:
    CAboutDlg();
};

} // namespace corvalin::win32

#pragma once
// The main window shown from its template: the About entry in its system menu, its
// icon, and its controls in their state before anything is loaded or connected. It
// ends with IDOK ("Close", or Enter) or IDCANCEL (Escape, the close box).

#include "gui/win32/DialogWindow.h"

namespace corvalin::win32
{

class CMainDlg : public CDialogWindow
{
  public:
    CMainDlg();

  protected:
    BOOL OnInitDialog() override;
    bool PreTranslateMessage(MSG& msg) override;
};

} // namespace corvalin::win32

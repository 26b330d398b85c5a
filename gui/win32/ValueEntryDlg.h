#pragma once
// The value entry dialog: a decimal or hexadecimal number typed into the edit box, or
// a choice from the drop-down list. The reading rules are the core's (CValueEntry);
// after "OK" Entry().m_nValue holds the new value. Enter is "OK", Escape "Cancel".

#include "gui/win32/DialogWindow.h"
#include "params/ParameterEdit.h"

namespace corvalin::win32
{

class CValueEntryDlg : public CDialogWindow
{
  public:
    explicit CValueEntryDlg(const CValueEntry& entry);

    const CValueEntry& Entry() const { return m_entry; }

  protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;

  private:
    CValueEntry m_entry;
};

} // namespace corvalin::win32

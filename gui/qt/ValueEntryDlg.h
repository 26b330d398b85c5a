#pragma once
// The value entry dialog: a number typed in decimal or hexadecimal, or a choice from
// a list, for one parameter. The rules (prefill, reading the text) are the core's.

#include "params/ParameterEdit.h"

#include <QDialog>

class QComboBox;
class QLineEdit;

namespace corvalin
{

class CValueEntryDlg : public QDialog
{
    Q_OBJECT

  public:
    CValueEntryDlg(const CValueEntry& entry, QWidget* parent = nullptr);

    // After OK: m_nValue holds the new value.
    const CValueEntry& Entry() const { return m_entry; }

    // OK: reads the typed text or the chosen entry into the value, then closes.
    void accept() override;

  private:
    void OnInitDialog();

    CValueEntry m_entry;
    QLineEdit* m_pEdit;
    QComboBox* m_pChoice;
};

} // namespace corvalin

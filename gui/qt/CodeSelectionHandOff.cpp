#include "gui/qt/CodeSelectionHandOff.h"

#include "gui/qt/CodeSelectionDlg.h"

namespace corvalin
{

// Nothing of the dialog outlives one run: its reader and keys go with it here.
CIrDialogOutcome RunCodeSelectionDialog(QWidget* parent)
{
    CCodeSelectionDlg dialog(parent);
    CIrDialogOutcome outcome;
    outcome.m_bAccepted = dialog.DoModal() == kCodeSelectionOk;
    outcome.m_codes = dialog.Codes();
    outcome.m_nIrType = dialog.GetIrType();
    return outcome;
}

EIrHandOffResult RunCodeSelectionHandOff(QWidget* parent, ImageHeader& header)
{
    return RunIrCodeHandOff(header, [parent] { return RunCodeSelectionDialog(parent); });
}

} // namespace corvalin

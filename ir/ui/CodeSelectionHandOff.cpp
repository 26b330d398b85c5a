#include "ir/ui/CodeSelectionHandOff.h"

#include "device/Updater.h"
#include "ir/ui/CodeSelectionDlg.h"

namespace corvalin
{

namespace
{

// Nothing of the dialog outlives one run: its reader and keys go with it here.
CIrDialogOutcome RunDialog(QWidget* parent)
{
    CCodeSelectionDlg dialog(parent);
    CIrDialogOutcome outcome;
    outcome.m_bAccepted = dialog.DoModal() == kCodeSelectionOk;
    outcome.m_codes = dialog.Codes();
    outcome.m_nIrType = dialog.GetIrType();
    return outcome;
}

} // namespace

EIrHandOffResult RunCodeSelectionHandOff(QWidget* parent, ImageHeader& header)
{
    return RunIrCodeHandOff(header, [parent] { return RunDialog(parent); });
}

IrHandOffFn MakeCodeSelectionHandOff(QWidget* parent, CUpdater& updater)
{
    return [parent, &updater]
    {
        if (updater.IsImageHeld())
            RunCodeSelectionHandOff(parent, updater.Header());
    };
}

} // namespace corvalin

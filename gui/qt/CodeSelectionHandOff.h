#pragma once
// The window's step at the end of every opening of an image or bundle: when the held
// image has IR button parameters, the code selection dialog is shown modally and the
// codes chosen there, with "IR TYPE", are written into the image's parameter list.
// The caller rebuilds its parameter list afterwards.

#include "image/ImageHeader.h"
#include "params/IrCodeHandOff.h"

class QWidget;

namespace corvalin
{

EIrHandOffResult RunCodeSelectionHandOff(QWidget* parent, ImageHeader& header);

// Runs the code selection dialog modally and hands back what it chose.
CIrDialogOutcome RunCodeSelectionDialog(QWidget* parent);

} // namespace corvalin

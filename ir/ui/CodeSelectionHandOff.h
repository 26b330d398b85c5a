#pragma once
// The window's step at the end of every opening of an image or bundle: when the held
// image has IR button parameters, the code selection dialog is shown modally and the
// codes chosen there, with "IR TYPE", are written into the image's parameter list.
// The caller rebuilds its parameter list afterwards.

#include "image/BundleLoader.h"
#include "image/ImageHeader.h"
#include "params/IrCodeHandOff.h"

class QWidget;

namespace corvalin
{

class CUpdater;

EIrHandOffResult RunCodeSelectionHandOff(QWidget* parent, ImageHeader& header);

// The same step in the form the "..." button's opening takes it: it works on the
// image `updater` holds when it runs, and does nothing while no image is held.
IrHandOffFn MakeCodeSelectionHandOff(QWidget* parent, CUpdater& updater);

} // namespace corvalin

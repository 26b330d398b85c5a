#pragma once
// Hands the IR codes chosen in the code selection dialog to the held image's parameter
// list: "IR TYPE" is added at the terminator and each non-zero code is written to every
// slot of its IR button parameter (50160001 hex + function index).

#include "image/ImageHeader.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace corvalin
{

// What the code selection dialog hands back.
struct CIrDialogOutcome
{
    bool m_bAccepted = false;      // ended through OK (or Enter)
    std::vector<uint32_t> m_codes; // 14 codes after "OK"; none when Enter ended it
    uint32_t m_nIrType = 0;
};

enum class EIrHandOffResult
{
    NoIrButtons, // the image has no IR button parameter: the dialog was not shown
    Cancelled,   // the dialog was not accepted: nothing changed
    Written,
};

// True when one of the 50 identifier slots is an IR button parameter.
bool HasIrButtonParameters(const ImageHeader& header);

// Adds "IR TYPE" with `irType` when the terminator sits in slot 0 to 48, then writes
// each non-zero code k to every slot whose identifier is 50160001 hex + k.
void WriteIrCodes(ImageHeader& header, const std::vector<uint32_t>& codes, uint32_t irType);

// The main window's step after an image is opened: when the image has IR button
// parameters, `runDialog` shows the code selection dialog modally and its outcome,
// if accepted, is written into `header`.
EIrHandOffResult RunIrCodeHandOff(ImageHeader& header, const std::function<CIrDialogOutcome()>& runDialog);

} // namespace corvalin

#include "params/IrCodeHandOff.h"

#include "params/ParameterTable.h"

namespace corvalin
{

bool HasIrButtonParameters(const ImageHeader& header)
{
    for (int slot = 0; slot < kParamSlots; ++slot)
    {
        if (IsIrButtonParameter(GetParamId(header, slot)))
            return true;
    }
    return false;
}

void WriteIrCodes(ImageHeader& header, const std::vector<uint32_t>& codes, uint32_t irType)
{
    for (int slot = 0; slot < kParamSlots; ++slot)
    {
        if (GetParamId(header, slot) != kParamTerminator)
            continue;
        // A full list (terminator in the last slot) has no room for the new entry.
        if (slot < kParamSlots - 1)
        {
            SetParamId(header, slot, kIrTypeParameter);
            SetParamValue(header, slot, irType);
            SetParamId(header, slot + 1, kParamTerminator);
            SetParamValue(header, slot + 1, kParamTerminator);
        }
        break;
    }
    for (std::size_t k = 0; k < codes.size(); ++k)
    {
        if (codes[k] == 0)
            continue;
        for (int slot = 0; slot < kParamSlots; ++slot)
        {
            if (GetParamId(header, slot) == kIrButtonParameterBase + uint32_t(k))
                SetParamValue(header, slot, codes[k]);
        }
    }
}

EIrHandOffResult RunIrCodeHandOff(ImageHeader& header, const std::function<CIrDialogOutcome()>& runDialog)
{
    if (!HasIrButtonParameters(header))
        return EIrHandOffResult::NoIrButtons;
    CIrDialogOutcome outcome = runDialog();
    if (!outcome.m_bAccepted)
        return EIrHandOffResult::Cancelled;
    WriteIrCodes(header, outcome.m_codes, outcome.m_nIrType);
    return EIrHandOffResult::Written;
}

} // namespace corvalin

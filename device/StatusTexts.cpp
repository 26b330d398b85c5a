#include "device/StatusTexts.h"

#include <cstdio>

namespace corvalin
{

const char* StatusText(EStatusText text)
{
    switch (text)
    {
    case EStatusText::ImageNotLoaded:
        return "Image was not loaded";
    case EStatusText::WaitForUpdate:
        return "Wait for previous update to finish";
    case EStatusText::UnableToOpen:
        return "Unable to open the device";
    case EStatusText::NoDevice:
        return "No device found";
    case EStatusText::CannotFindDevice:
        return "Cannot find device";
    case EStatusText::NotConnected:
        return "Not connected";
    case EStatusText::CannotCommunicate:
        return "Cannot communicate, try to replug the USB";
    case EStatusText::WrongIndex:
        return "Wrong index";
    case EStatusText::SendInit:
        return "Send INIT";
    case EStatusText::StartXfer:
        return "Start XFER";
    case EStatusText::SendPrep:
        return "Send PREP";
    case EStatusText::SendClose:
        return "Send CLOSE";
    case EStatusText::UpdateComplete:
        return "Update complete";
    case EStatusText::NotCompatible:
        return "Error: The image file is not compatible with the hardware";
    case EStatusText::FastTransferOff:
        return "Late reply bytes, fast transfer off";
    case EStatusText::StoppedBeforeStart:
        return "Stopped before the update started";
    }
    return "";
}

namespace
{

const char* StepName(EUpdateStep step)
{
    switch (step)
    {
    case EUpdateStep::Init:
        return "INIT";
    case EUpdateStep::Xfer:
        return "XFER";
    case EUpdateStep::Prep:
        return "PREP";
    case EUpdateStep::Close:
        return "CLOSE";
    }
    return "";
}

} // namespace

std::string RestartingText(EExchangeResult result)
{
    char text[64];
    std::snprintf(text, sizeof text, "Restarting to BootLoader: %d", int(result));
    return text;
}

std::string StepFailedText(EUpdateStep step, EExchangeResult result)
{
    char text[64];
    std::snprintf(text, sizeof text, "%s Failed: %d", StepName(step), int(result));
    return text;
}

std::string OutcomeText(const CUpdateOutcome& outcome)
{
    if (outcome.m_bCompleted)
        return StatusText(EStatusText::UpdateComplete);
    if (outcome.m_bStopped)
    {
        if (outcome.m_eStep == EUpdateStep::Init)
            return StatusText(EStatusText::StoppedBeforeStart);
        return "Stopped at block " + std::to_string(outcome.m_nBlocksSent) + " of " +
               std::to_string(outcome.m_nBlocksTotal);
    }
    return StepFailedText(outcome.m_eStep, outcome.m_eResult);
}

std::string StartResultText(EStartResult result)
{
    switch (result)
    {
    case EStartResult::NoImage:
        return StatusText(EStatusText::ImageNotLoaded);
    case EStartResult::NoDevice:
        return StatusText(EStatusText::NoDevice);
    case EStartResult::Busy:
        return StatusText(EStatusText::WaitForUpdate);
    case EStartResult::CannotOpen:
        return StatusText(EStatusText::UnableToOpen);
    case EStartResult::Stopped:
        return StatusText(EStatusText::StoppedBeforeStart);
    case EStartResult::Started:
        break;
    }
    return "";
}

} // namespace corvalin

#pragma once
// Every text the device layer shows the user, defined once, and the texts made from an
// update's outcome. Callers word results here, at the edge, and decide nothing by
// comparing the words.

#include "device/UpdateOutcome.h"

#include <string>

namespace corvalin
{

enum class EStatusText
{
    ImageNotLoaded,     // "Image was not loaded"
    WaitForUpdate,      // "Wait for previous update to finish"
    UnableToOpen,       // "Unable to open the device"
    NoDevice,           // "No device found"
    CannotFindDevice,   // "Cannot find device"
    NotConnected,       // "Not connected"
    CannotCommunicate,  // "Cannot communicate, try to replug the USB"
    WrongIndex,         // "Wrong index"
    SendInit,           // "Send INIT"
    StartXfer,          // "Start XFER"
    SendPrep,           // "Send PREP"
    SendClose,          // "Send CLOSE"
    UpdateComplete,     // "Update complete"
    NotCompatible,      // "Error: The image file is not compatible with the hardware"
    FastTransferOff,    // "Late reply bytes, fast transfer off"
    StoppedBeforeStart, // "Stopped before the update started"
};

const char* StatusText(EStatusText text);

// "Restarting to BootLoader: 5".
std::string RestartingText(EExchangeResult result);
// "XFER Failed: 3": the step's name and its result code.
std::string StepFailedText(EUpdateStep step, EExchangeResult result);
// The update's result in words: "Update complete", the failed step as above, or for a
// stop "Stopped at block k of N" ("Stopped before the update started" before INIT was
// accepted).
std::string OutcomeText(const CUpdateOutcome& outcome);
// Why StartUpdate refused, in words ("Unable to open the device"); "" for a start.
std::string StartResultText(EStartResult result);

} // namespace corvalin

#pragma once
// What the device commands of corvalin-cli share: telling the user why no box was
// found, and turning Ctrl-C into a stop request.

#include "cli/CliSupport.h"
#include "device/UpdateRecord.h"
#include "device/Updater.h"

#include <atomic>
#include <string>

namespace corvalin::cli
{

// Looks for the box once through the serial-port map, like the window does. On
// failure prints why on stderr ("Not connected", with a hint when the system tells
// why a plugged-in bridge has no port; "Cannot communicate, try to replug the USB";
// or the opening failure with a hint) and returns false. With `interrupted`
// the probe stops as soon as the flag is set, and returns false without a text.
bool FindBox(CUpdater& updater, CStderrStatus& status, const std::atomic<bool>* interrupted = nullptr);

// Prints a hint line on stderr when a port could not be opened for lack of
// permission or because another program holds it.
void PrintPortHint(const CUpdater& updater);

// From now on SIGINT and SIGTERM no longer end the program but set the returned flag.
const std::atomic<bool>& CatchInterrupts();

} // namespace corvalin::cli

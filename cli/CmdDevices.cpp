// corvalin-cli devices

#include "cli/Commands.h"
#include "cli/DeviceSupport.h"
#include "cli/Latin1.h"

namespace corvalin::cli
{

int RunDevices(Args args)
{
    if (!args.empty())
        return UsageError("devices takes no arguments");
    CUpdater updater;
    CStderrStatus status;
    updater.AttachControls(nullptr, &status);
    if (!FindBox(updater, status))
        return kExitFailure;
    std::printf("%s\n", BoxText(updater.GetPortEntry(0)).c_str());
    return kExitOk;
}

} // namespace corvalin::cli

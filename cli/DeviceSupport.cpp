#include "cli/DeviceSupport.h"

#include "cli/CliSupport.h"
#include "platform/SerialPortMap.h"

#include <csignal>
#include <cstdio>

namespace corvalin::cli
{

namespace
{

constexpr const char* kNotConnected = "Not connected";
constexpr const char* kCannotCommunicate = "Cannot communicate, try to replug the USB";
constexpr const char* kCannotFindDevice = "Cannot find device";

std::atomic<bool> g_bInterrupted{false};

} // namespace

void PrintPortHint(const CUpdater& updater)
{
    switch (updater.LastPortError())
    {
    case platform::SerialError::Permission:
        std::fprintf(stderr, "hint: no permission to open the port (%s); add your user to the dialout group "
                             "(sudo usermod -aG dialout $USER) and log in again\n",
                     updater.LastPortErrorText().c_str());
        break;
    case platform::SerialError::Busy:
        std::fprintf(stderr, "hint: the port is in use by another program (%s); close it and try again\n",
                     updater.LastPortErrorText().c_str());
        break;
    default:
        break;
    }
}

bool FindBox(CUpdater& updater, CStderrStatus& status)
{
    if (updater.FindDevice() > 0)
        return true;
    if (status.LastText() == kCannotFindDevice)
        PrintPortHint(updater);
    else if (!platform::LookupSerialPort(platform::kFirstBridgeDevice))
        status.SetText(kNotConnected);
    else
        status.SetText(kCannotCommunicate);
    return false;
}

namespace
{

void OnInterrupt(int)
{
    g_bInterrupted.store(true);
}

} // namespace

const std::atomic<bool>& CatchInterrupts()
{
    static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    return g_bInterrupted;
}

} // namespace corvalin::cli

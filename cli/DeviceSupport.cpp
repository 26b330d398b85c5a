#include "cli/DeviceSupport.h"

#include "cli/CliSupport.h"
#include "platform/SerialPortMap.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

namespace corvalin::cli
{

namespace
{

constexpr const char* kNotConnected = "Not connected";
constexpr const char* kCannotCommunicate = "Cannot communicate, try to replug the USB";
constexpr const char* kCannotFindDevice = "Cannot find device";
// How often the probe's watcher looks at the interrupt flag.
constexpr int kWatchStepMs = 20;

std::atomic<bool> g_bInterrupted{false};

// Windows publishes the bridge's port only once its driver is installed; Linux has
// the driver in the kernel, so there no bridge means no box plugged in.
void PrintNoBridgeHint()
{
#ifdef _WIN32
    std::fprintf(stderr,
                 "hint: if the box is plugged in, the CP210x USB-to-UART bridge driver may be missing; "
                 "Windows 10 and 11 fetch it through Windows Update\n");
#endif
}

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

bool FindBox(CUpdater& updater, CStderrStatus& status, const std::atomic<bool>* interrupted)
{
    int entries = 0;
    if (!interrupted)
        entries = updater.FindDevice();
    else
    {
        // The probe may take about 20 s with a silent box; it runs on a thread of its
        // own so that an interrupt, which only sets a flag, can stop it.
        std::atomic<bool> done{false};
        std::thread probe(
            [&]
            {
                entries = updater.FindDevice();
                done.store(true);
            });
        while (!done.load())
        {
            if (interrupted->load())
                updater.RequestStop();
            std::this_thread::sleep_for(std::chrono::milliseconds(kWatchStepMs));
        }
        probe.join();
        if (interrupted->load())
            return false;
    }
    if (entries > 0)
        return true;
    if (status.LastText() == kCannotFindDevice)
        PrintPortHint(updater);
    else if (!platform::LookupSerialPort(platform::kFirstBridgeDevice))
    {
        status.SetText(kNotConnected);
        PrintNoBridgeHint();
    }
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

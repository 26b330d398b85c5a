#include "cli/DeviceSupport.h"

#include "cli/CliSupport.h"
#include "device/BoxProbe.h"
#include "device/StatusTexts.h"
#include "platform/DeviceHints.h"
#include "platform/FileIo.h"
#include "platform/SerialPortMap.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <optional>

namespace corvalin::cli
{

namespace
{

// How often the probe's watcher looks at the interrupt flag.
constexpr int kWatchStepMs = 20;

std::atomic<bool> g_bInterrupted{false};

void PrintHint(const std::string& hint)
{
    if (!hint.empty())
        std::fprintf(stderr, "hint: %s\n", hint.c_str());
}

} // namespace

void PrintPortHint(const CUpdater& updater)
{
    PrintHint(platform::PortAccessHint(updater.LastPortError(), updater.LastPortErrorText()));
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
        CBoxProbe probe(updater);
        probe.Start(platform::kFirstBridgeDevice);
        std::optional<int> found;
        while (!(found = probe.Wait(std::chrono::milliseconds(kWatchStepMs))))
        {
            if (interrupted->load())
                updater.RequestStop();
        }
        if (interrupted->load())
            return false;
        entries = *found;
    }
    if (entries > 0)
        return true;
    switch (updater.LastProbeResult())
    {
    case EProbeResult::CannotOpen:
        PrintPortHint(updater);
        break;
    case EProbeResult::NoBridge:
        status.SetText(StatusText(EStatusText::NotConnected));
        PrintHint(platform::NoBridgeHint());
        break;
    default:
        status.SetText(StatusText(EStatusText::CannotCommunicate));
        break;
    }
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

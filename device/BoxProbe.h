#pragma once
// A look for the box on a thread of its own: a silent box keeps a probe busy for about
// 20 s, and no window or command may wait on the line. The window, the station and
// the CLI each start one through this object and learn of its end by a callback or a
// wait that blocks; a stop of the updater cuts the probe short.

#include "device/Updater.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace corvalin
{

class CBoxProbe
{
  public:
    explicit CBoxProbe(CUpdater& updater) : m_updater(updater) {}
    // Waits for a probe still running; stop the updater first to cut it short.
    ~CBoxProbe() { Join(); }
    CBoxProbe(const CBoxProbe&) = delete;
    CBoxProbe& operator=(const CBoxProbe&) = delete;

    // Probes the bridge `driverDevice` (CUpdater::FindDeviceAt) after the last probe has
    // been joined. `onDone` gets the number of list entries, on the probe's thread.
    void Start(const std::string& driverDevice, std::function<void(int)> onDone = {});
    // Probes a bridge as a look saw it (CUpdater::FindDeviceOn).
    void Start(const platform::CBridgePort& bridge);
    // The number of entries once the probe has ended; none while it runs, or when
    // `timeout` passes first.
    std::optional<int> Wait(std::chrono::milliseconds timeout);
    // Waits for the probe's thread to end.
    void Join();

  private:
    // Runs `probe` on the probe's thread and keeps its number of entries.
    void Run(std::function<int()> probe, std::function<void(int)> onDone);

    CUpdater& m_updater;
    std::mutex m_mutex;
    std::condition_variable m_ended;
    std::optional<int> m_entries;
    std::thread m_thread;
};

} // namespace corvalin

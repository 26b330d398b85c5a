#include "device/BoxProbe.h"

namespace corvalin
{

void CBoxProbe::Start(const std::string& driverDevice, std::function<void(int)> onDone)
{
    Run([this, driverDevice] { return m_updater.FindDeviceAt(driverDevice); }, std::move(onDone));
}

void CBoxProbe::Start(const platform::CBridgePort& bridge)
{
    Run([this, bridge] { return m_updater.FindDeviceOn(bridge); }, {});
}

void CBoxProbe::Run(std::function<int()> probe, std::function<void(int)> onDone)
{
    Join();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_entries.reset();
    }
    m_thread = std::thread(
        [this, probe = std::move(probe), onDone = std::move(onDone)]
        {
            const int entries = probe();
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_entries = entries;
            }
            m_ended.notify_all();
            if (onDone)
                onDone(entries);
        });
}

std::optional<int> CBoxProbe::Wait(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_ended.wait_for(lock, timeout, [this] { return m_entries.has_value(); });
    return m_entries;
}

void CBoxProbe::Join()
{
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace corvalin

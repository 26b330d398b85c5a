#pragma once
// Shared by the device tests: a simulated box published through the serial-port map
// (on Linux a pseudo-terminal in a map directory, on Windows a Wine COM port in the
// registry's SERIALCOMM key), shortened time-outs, and controls that record what the
// worker reports.

#include "device/Updater.h"
#include "platform/SerialPortMap.h"
#include "tools/fixtures/BoxSim.h"
#include "tools/fixtures/ImageBuilder.h"
#include "tools/fixtures/TempDir.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace corvalin::testing
{

using Clock = std::chrono::steady_clock;
using TextList = std::vector<std::string>;

// A clock whose local date is fixed, for the date stamp of PREP.
class CFixedDate : public IDateSource
{
  public:
    explicit CFixedDate(CLocalDate date) : m_date(date) {}
    CLocalDate Today() const override { return m_date; }

  private:
    CLocalDate m_date;
};

// Time-outs short enough for tests; the interval stays well above the simulator's
// reaction time, and the stray-byte gap (100 ms) above the interval.
inline CLinkTiming FastTiming()
{
    CLinkTiming timing;
    timing.m_port.m_nIntervalMs = 20;
    timing.m_port.m_nMultiplierMs = 0;
    timing.m_port.m_nConstantMs = 40;
    timing.m_nIdleStepMs = 20;
    timing.m_nRestartPauseMs = 30;
    return timing;
}

// A gap after each reply frame at which a late byte surely comes after the read of the
// reply has ended. Under Wine a read ends only with its 20 ms stop-check slice, which
// takes in a byte that follows the frame by 20 ms.
#ifdef _WIN32
constexpr int kSurelyLateGapMs = 60;
#else
constexpr int kSurelyLateGapMs = 20;
#endif

// Polls `condition` until it holds or about `seconds` have passed; a guard against a
// hang, not a measure of speed.
inline bool WaitUntil(const std::function<bool()>& condition, int seconds = 30)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!condition())
    {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Records every output of the worker; called from the worker's thread.
class CRecordingControls : public IStatusControl, public IProgressControl, public IUpdateNotices
{
  public:
    void SetText(const std::string& text) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_texts.push_back(text);
    }
    void SetRange(int minimum, int maximum) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_nMin = minimum;
        m_nMax = maximum;
    }
    void SetPos(int position) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_positions.push_back(position);
    }
    void SetBarColor(uint32_t color) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_colors.push_back(color);
    }
    void ShowMessage(const std::string& text) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_messages.push_back(text);
    }
    void PlayCompletionSound(const std::atomic<bool>&) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_nSounds;
    }

    std::vector<std::string> Texts() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_texts;
    }
    // The last bar position, or -1 when none was set.
    int LastPosition() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_positions.empty() ? -1 : m_positions.back();
    }
    uint32_t LastColor() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_colors.empty() ? 0xFFFFFFFFu : m_colors.back();
    }
    std::vector<int> Positions() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_positions;
    }
    std::vector<uint32_t> Colors() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_colors;
    }
    std::vector<std::string> Messages() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_messages;
    }
    int Sounds() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_nSounds;
    }
    std::string LastText() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_texts.empty() ? std::string() : m_texts.back();
    }
    bool HasText(const std::string& text) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const std::string& t : m_texts)
            if (t == text)
                return true;
        return false;
    }
    int CountText(const std::string& text) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        int n = 0;
        for (const std::string& t : m_texts)
            n += t == text;
        return n;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_texts.clear();
        m_positions.clear();
        m_colors.clear();
        m_messages.clear();
        m_nSounds = 0;
    }

  private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_texts;
    std::vector<int> m_positions;
    std::vector<uint32_t> m_colors;
    std::vector<std::string> m_messages;
    int m_nSounds = 0;
    int m_nMin = -1;
    int m_nMax = -1;
};

#ifdef _WIN32
// The Wine COM port the simulator is linked as (the Wine COM port harness uses 61 to
// 70). Every test that publishes it holds CTest's wine-serialcomm lock.
constexpr int kSimulatorComPort = 71;

// Publishes the simulator's port as the bridge, or no bridge.
inline void PublishBridge(bool publish)
{
    fixtures::SetSerialCommValue(platform::kFirstBridgeDevice,
                                 publish ? "COM" + std::to_string(kSimulatorComPort) : std::string());
}
#endif

// While it lives, the serial-port map holds no bridge: an empty map directory on Linux,
// no SERIALCOMM value on Windows.
class CNoBridge
{
  public:
#ifdef _WIN32
    CNoBridge()
    {
        PublishBridge(false);
    }
#else
    CNoBridge()
    {
        setenv("CORVALIN_SERIAL_MAP", m_emptyMap.Path().c_str(), 1);
    }
    ~CNoBridge()
    {
        unsetenv("CORVALIN_SERIAL_MAP");
    }

  private:
    fixtures::CTempDir m_emptyMap;
#endif
};

#ifndef _WIN32
// A USB device in a sysfs tree of the test's own, laid out as Linux lists it under
// bus/usb/devices: the device's folder with idVendor and idProduct ("10c4\n"), and its
// first interface's folder "<name>:1.0", empty until a driver binds a tty there.
inline std::filesystem::path AddUsbDevice(const std::filesystem::path& sysfs, const std::string& name,
                                          const std::string& vendor, const std::string& product)
{
    const std::filesystem::path devices = sysfs / "bus" / "usb" / "devices";
    std::filesystem::create_directories(devices / name);
    std::filesystem::create_directories(devices / (name + ":1.0"));
    std::ofstream(devices / name / "idVendor") << vendor << "\n";
    std::ofstream(devices / name / "idProduct") << product << "\n";
    return devices / (name + ":1.0");
}
#endif

// A simulated box published as the map's Silabser0 (on Linux the map directory that
// the process's CORVALIN_SERIAL_MAP then names); it records what it receives.
class CSimulatedBox
{
  public:
    explicit CSimulatedBox(std::vector<std::string> args = {})
    {
#ifdef _WIN32
        args.insert(args.end(), {"--record", fixtures::SimulatorPath(RecordDir())});
        m_pSim = std::make_unique<fixtures::CBoxSim>(CORVALIN_BOXSIM_PATH, args, kSimulatorComPort);
        if (!Path().empty())
            PublishBridge(true);
#else
        args.insert(args.end(), {"--map-dir", MapDir().string(), "--record", RecordDir().string()});
        m_pSim = std::make_unique<fixtures::CBoxSim>(CORVALIN_BOXSIM_PATH, args);
        setenv("CORVALIN_SERIAL_MAP", MapDir().c_str(), 1);
#endif
    }
#ifndef _WIN32
    // A box on bridge `index` of the map directory `map`, which several boxes share;
    // the test points CORVALIN_SERIAL_MAP at it.
    CSimulatedBox(std::vector<std::string> args, const std::filesystem::path& map, int index)
    {
        args.insert(args.end(), {"--map-dir", map.string(), "--map-name", "Silabser" + std::to_string(index),
                                 "--record", RecordDir().string()});
        m_pSim = std::make_unique<fixtures::CBoxSim>(CORVALIN_BOXSIM_PATH, args);
    }
#endif
    ~CSimulatedBox()
    {
#ifdef _WIN32
        PublishBridge(false);
#else
        const char* map = std::getenv("CORVALIN_SERIAL_MAP");
        if (map && MapDir() == map)
            unsetenv("CORVALIN_SERIAL_MAP");
#endif
    }

    // "/dev/pts/7" on Linux, "\\.\COM71" on Windows.
    const std::string& Path() const
    {
        return m_pSim->Path();
    }
    // What the port list shows: "pts/7", "COM71".
#ifdef _WIN32
    static constexpr const char* kDeviceFolder = "\\\\.\\";
#else
    static constexpr const char* kDeviceFolder = "/dev/";
#endif
    std::string ShownName() const
    {
        return Path().substr(std::string_view(kDeviceFolder).size());
    }
    std::filesystem::path MapDir() const
    {
        return m_dir / "map";
    }
    std::filesystem::path RecordDir() const
    {
        return m_dir / "record";
    }
    fixtures::CBoxSim& Sim()
    {
        return *m_pSim;
    }

    // The commands the box received, one line each ("INIT 00010000 2", "XFER 0").
    std::vector<std::string> Log() const
    {
        std::vector<std::string> lines;
        std::ifstream in(RecordDir() / "log.txt");
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    std::vector<std::string> LogOf(const std::string& command) const
    {
        std::vector<std::string> lines;
        for (const std::string& line : Log())
            if (line.compare(0, command.size(), command) == 0)
                lines.push_back(line);
        return lines;
    }
    fixtures::Bytes Record(const std::string& name) const
    {
        return fixtures::ReadFileBytes(RecordDir() / name);
    }

  private:
    fixtures::CTempDir m_dir;
    std::unique_ptr<fixtures::CBoxSim> m_pSim;
};

} // namespace corvalin::testing

// corvalin-cli station FILE [--product NAME] [--set ASSIGNMENT]... [--count N] [--fast] [--log LOG]

#include "cli/Assignment.h"
#include "cli/Commands.h"
#include "cli/DeviceSupport.h"
#include "cli/Latin1.h"
#include "device/PresenceTiming.h"
#include "device/Station.h"
#include "platform/Terminal.h"

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <thread>

namespace corvalin::cli
{

namespace
{

// How often the loop looks at Ctrl-C and the workers, and redraws a terminal.
constexpr int kWatchStepMs = 20;
constexpr int kRedrawMs = 100;
constexpr int kBarWidth = 20;

// The box's list entry as printed, or its port before the box has answered.
std::string Who(const CStationSlot& slot)
{
    return slot.m_strEntry.empty() ? slot.m_strPort : BoxText(slot.m_strEntry);
}

// The station's output. Every box's status texts go to stderr: on a terminal as one
// live line per port, redrawn in place, otherwise one line per text with the port in
// front. Each ended turn is one line on stdout: the box's list entry (or its port)
// and its final text. With a record file, each ended turn is also a line there, boxes
// that never answered included (without name, number and duration).
class CStationOutput : public IStationListener
{
  public:
    CStationOutput(bool live, const std::optional<std::string>& log, const CUpdateRecord& image)
        : m_bLive(live), m_log(log), m_image(image)
    {
    }

    void OnText(const CStationSlot& slot, const std::string& text) override
    {
        // An empty text only clears the window's status line.
        if (m_bLive || text.empty())
            return;
        std::lock_guard<std::mutex> lock(m_mutex);
        std::fprintf(stderr, "%s: %s\n", slot.m_strPort.c_str(), text.c_str());
    }
    void OnFinished(const CStationSlot& slot) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        EraseLive();
        std::printf("%s: %s\n", Who(slot).c_str(), slot.m_strText.c_str());
        std::fflush(stdout);
        if (!slot.m_strHint.empty())
            std::fprintf(stderr, "%s: hint: %s\n", slot.m_strPort.c_str(), slot.m_strHint.c_str());
        if (m_log && !AppendUpdateRecord(*m_log, MakeUpdateRecord(m_image, slot.m_record, slot.m_strText,
                                                                  slot.m_bCompleted, slot.m_dSeconds,
                                                                  std::time(nullptr))))
            m_bRecordFailed = true;
    }
    bool RecordFailed() const { return m_bRecordFailed; }

    void Redraw(const std::vector<CStationSlot>& slots)
    {
        if (!m_bLive)
            return;
        std::lock_guard<std::mutex> lock(m_mutex);
        EraseLive();
        for (const CStationSlot& slot : slots)
        {
            std::string bar(std::size_t(slot.m_nPercent * kBarWidth / 100), '#');
            bar.resize(kBarWidth, '.');
            std::fprintf(stderr, "%-36.36s [%s] %3d%% %s\n", Who(slot).c_str(), bar.c_str(), slot.m_nPercent,
                         StateText(slot).c_str());
        }
        m_nLiveLines = int(slots.size());
        std::fflush(stderr);
    }
    // Leaves the terminal without the live lines.
    void Finish()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        EraseLive();
    }

  private:
    static std::string StateText(const CStationSlot& slot)
    {
        switch (slot.m_eState)
        {
        case EStationState::Waiting:
            return "plugged in";
        case EStationState::Probing:
            return "asking the box";
        default:
            return slot.m_strText;
        }
    }
    void EraseLive()
    {
        for (; m_nLiveLines > 0; --m_nLiveLines)
            std::fputs("\033[1A\r\033[K", stderr);
    }

    const bool m_bLive;
    const std::optional<std::string> m_log;
    const CUpdateRecord m_image;
    bool m_bRecordFailed = false;
    std::mutex m_mutex;
    int m_nLiveLines = 0;
};

} // namespace

int RunStation(Args args)
{
    bool missing = false;
    std::optional<std::string> product = TakeOption(args, "--product", missing);
    if (missing)
        return UsageError("--product needs a name");
    std::optional<std::string> count = TakeOption(args, "--count", missing);
    if (missing)
        return UsageError("--count needs a number");
    std::vector<CAssignment> assignments;
    for (std::optional<std::string> text; (text = TakeOption(args, "--set", missing));)
    {
        std::string error;
        assignments.emplace_back();
        if (!ParseAssignment(*text, assignments.back(), error))
            return UsageError(error);
    }
    if (missing)
        return UsageError("--set needs an assignment");
    std::optional<std::string> log = TakeOption(args, "--log", missing);
    if (missing)
        return UsageError("--log needs a file");
    const bool fast = TakeFlag(args, "--fast");
    if (args.size() != 1)
        return UsageError("station takes one FILE");
    int turns = 0;
    if (count)
    {
        char* end = nullptr;
        long value = std::strtol(count->c_str(), &end, 10);
        if (count->empty() || *end != '\0' || value < 1 || value > INT_MAX)
            return UsageError("--count takes a number of updates from 1 up");
        turns = int(value);
    }
    if (log && !CheckUpdateRecord(*log))
        return kExitFailure;

    // The image is loaded and changed once; every box gets the same bytes.
    CStderrImage source;
    if (!LoadSourceImage(source, args[0], product))
        return kExitFailure;
    std::string error;
    if (!ApplyAssignments(source.Header(), assignments, error))
    {
        PrintError(error);
        return kExitFailure;
    }

    const std::atomic<bool>& interrupted = CatchInterrupts();
    // The record names the bytes every box gets: the image after the assignments.
    CStationOutput output(platform::IsTerminal(platform::EStdStream::Error), log,
                          log ? DescribeImage(args[0], product, source.Image()) : CUpdateRecord{});
    CLinkTiming timing;
    timing.m_bFastTransfer = fast;
    CStation station(source.Image().FileBytes(), timing, output);
    station.SetTurnLimit(turns);
    const std::string goal = turns ? ", " + std::to_string(turns) + " updates" : std::string();
    std::fprintf(stderr, "station: waiting for boxes%s (Ctrl-C ends)\n", goal.c_str());

    using Clock = std::chrono::steady_clock;
    Clock::time_point nextLook = Clock::now();
    Clock::time_point nextRedraw = Clock::now();
    bool stopped = false;
    while (true)
    {
        if (interrupted.load() && !stopped)
        {
            station.RequestStop();
            stopped = true;
        }
        // Once stopped, each look only gathers the ends of the turns, so it comes often.
        if (stopped || Clock::now() >= nextLook)
        {
            station.Look();
            nextLook += std::chrono::milliseconds(kPresencePollMs);
        }
        if ((stopped || (turns && station.Finished() >= turns)) && !station.IsBusy())
            break;
        if (Clock::now() >= nextRedraw)
        {
            output.Redraw(station.Slots());
            nextRedraw = Clock::now() + std::chrono::milliseconds(kRedrawMs);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kWatchStepMs));
    }
    output.Finish();

    const int failed = station.Finished() - station.Completed() - station.Stopped();
    const std::string stoppedText =
        station.Stopped() ? ", " + std::to_string(station.Stopped()) + " stopped" : "";
    std::fprintf(stderr, "station: %d updated, %d failed%s%s\n", station.Completed(), failed,
                 stoppedText.c_str(), interrupted.load() ? " (interrupted)" : "");
    return failed == 0 && station.Stopped() == 0 && !output.RecordFailed() ? kExitOk : kExitFailure;
}

} // namespace corvalin::cli

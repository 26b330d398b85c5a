// corvalin-cli station FILE [--product NAME] [--settings SETTINGS [--strict]] [--set ASSIGNMENT]...
//                      [--count N] [--fast] [--log LOG] [--bay LOCATION=LABEL]... [--operator NAME]

#include "cli/Assignment.h"
#include "cli/Commands.h"
#include "cli/DeviceSupport.h"
#include "cli/Latin1.h"
#include "cli/RecordWriter.h"
#include "cli/SettingsSupport.h"
#include "device/PresenceTiming.h"
#include "device/Station.h"
#include "image/Sha256.h"
#include "params/SettingsDocument.h"
#include "platform/FileIo.h"
#include "platform/Terminal.h"

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
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

constexpr const char* kGreen = "\033[32m";
constexpr const char* kRed = "\033[31m";
constexpr const char* kYellow = "\033[33m";
constexpr const char* kPlain = "\033[0m";

// "ttyUSB3 (USB 1-2.3, Bay 3) | BOX | 00000013": the port, where it is plugged, and the
// box once it has answered.
std::string Who(const CStationSlot& slot)
{
    const std::string place = PlaceText(slot);
    std::string who = slot.m_strPort + (place.empty() ? "" : " (" + place + ")");
    if (!slot.m_strEntry.empty())
    {
        const std::string entry = BoxText(slot.m_strEntry);
        who += entry.compare(0, slot.m_strPort.size(), slot.m_strPort) == 0
                   ? entry.substr(slot.m_strPort.size())
                   : " " + entry;
    }
    return who;
}

// The station's output. Every box's status texts go to stderr: on a terminal as one
// live line per port, redrawn in place under a running count, otherwise one line per
// text naming the port, its place and the box. Each ended turn is one line on stdout
// with its result, and a line in the update record when there is one, boxes that never
// answered included (without name, number and duration).
class CStationOutput : public IStationListener
{
  public:
    CStationOutput(bool live, bool colour, CRecordWriter* record, const CUpdateRecord& image)
        : m_bLive(live), m_bColour(colour), m_pRecord(record), m_image(image)
    {
    }

    void OnText(const CStationSlot& slot, const std::string& text) override
    {
        // An empty text only clears the window's status line.
        if (m_bLive || text.empty())
            return;
        std::lock_guard<std::mutex> lock(m_mutex);
        std::fprintf(stderr, "%s: %s\n", Who(slot).c_str(), text.c_str());
    }
    void OnFinished(const CStationSlot& slot) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        EraseLive();
        std::printf("%s: %s\n", Who(slot).c_str(), slot.m_strText.c_str());
        std::fflush(stdout);
        if (!slot.m_bCompleted)
            m_unfinished.push_back(slot);
        if (!slot.m_strHint.empty())
            std::fprintf(stderr, "%s: hint: %s\n", slot.m_strPort.c_str(), slot.m_strHint.c_str());
        if (m_pRecord)
        {
            CUpdateTurn turn;
            turn.m_port = slot.m_record;
            turn.m_strPlace = slot.m_strPlace;
            turn.m_strBay = slot.m_strBay;
            turn.m_strStatus = slot.m_strText;
            turn.m_bSuccess = slot.m_bCompleted;
            turn.m_bStopped = slot.m_bStopped;
            turn.m_dSeconds = slot.m_dSeconds;
            turn.m_tStart = slot.m_tStart;
            turn.m_nFailedBlock = slot.m_nFailedBlock;
            m_pRecord->Append(MakeUpdateRecord(m_image, turn, std::time(nullptr)));
        }
    }

    void Redraw(const std::vector<CStationSlot>& slots, int updated, int failed)
    {
        if (!m_bLive)
            return;
        std::lock_guard<std::mutex> lock(m_mutex);
        EraseLive();
        int running = 0;
        for (const CStationSlot& slot : slots)
        {
            running += slot.m_eState == EStationState::Probing || slot.m_eState == EStationState::Updating;
            std::fprintf(stderr, "%-44.44s %s\n", Who(slot).c_str(), StateText(slot).c_str());
        }
        std::fprintf(stderr, "updated %d, failed %d, in progress %d\n", updated, failed, running);
        m_nLiveLines = int(slots.size()) + 1;
        std::fflush(stderr);
    }
    // Leaves the terminal without the live lines.
    void Finish()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        EraseLive();
    }
    // The turns that did not complete, in the order they ended.
    std::vector<CStationSlot> Unfinished()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_unfinished;
    }

  private:
    std::string Coloured(const char* colour, const std::string& text) const
    {
        return m_bColour ? colour + text + kPlain : text;
    }
    // A running box shows its bar; an ended one says DONE, FAILED or STOPPED and why
    // where the bar was, so a failure cannot pass for a full bar.
    std::string StateText(const CStationSlot& slot) const
    {
        switch (slot.m_eState)
        {
        case EStationState::Waiting:
            return "plugged in";
        case EStationState::Probing:
            return "asking the box";
        case EStationState::Done:
            if (slot.m_bCompleted)
                return Coloured(kGreen, "DONE") + " " + slot.m_strText;
            if (slot.m_bStopped)
                return Coloured(kYellow, "STOPPED") + " " + slot.m_strText;
            return Coloured(kRed, "FAILED") + " " + slot.m_strText;
        default:
        {
            std::string bar(std::size_t(slot.m_nPercent * kBarWidth / 100), '#');
            bar.resize(kBarWidth, '.');
            char percent[8];
            std::snprintf(percent, sizeof percent, "%3d%%", slot.m_nPercent);
            return "[" + bar + "] " + percent + " " + slot.m_strText;
        }
        }
    }
    void EraseLive()
    {
        for (; m_nLiveLines > 0; --m_nLiveLines)
            std::fputs("\033[1A\r\033[K", stderr);
    }

    const bool m_bLive;
    const bool m_bColour;
    CRecordWriter* m_pRecord;
    const CUpdateRecord m_image;
    std::mutex m_mutex;
    int m_nLiveLines = 0;
    std::vector<CStationSlot> m_unfinished;
};

// --bay LOCATION=LABEL, as the station's map from places to names.
bool ParseBay(const std::string& text, std::map<std::string, std::string>& bays, std::string& error)
{
    const std::size_t equals = text.find('=');
    if (equals == 0 || equals == std::string::npos || equals + 1 == text.size())
    {
        error = "--bay takes LOCATION=LABEL, such as 1-2.3=\"Bay 1\"";
        return false;
    }
    bays[text.substr(0, equals)] = text.substr(equals + 1);
    return true;
}

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
    std::vector<std::string> assignmentTexts;
    for (std::optional<std::string> text; (text = TakeOption(args, "--set", missing));)
    {
        std::string error;
        assignments.emplace_back();
        assignmentTexts.push_back(*text);
        if (!ParseAssignment(*text, assignments.back(), error))
            return UsageError(error);
    }
    if (missing)
        return UsageError("--set needs an assignment");
    std::map<std::string, std::string> bays;
    for (std::optional<std::string> text; (text = TakeOption(args, "--bay", missing));)
    {
        std::string error;
        if (!ParseBay(*text, bays, error))
            return UsageError(error);
    }
    if (missing)
        return UsageError("--bay needs LOCATION=LABEL");
    std::optional<std::string> log = TakeOption(args, "--log", missing);
    if (missing)
        return UsageError("--log needs a file");
    std::optional<std::string> operatorName = TakeOption(args, "--operator", missing);
    if (missing)
        return UsageError("--operator needs a name");
    std::optional<std::string> settings;
    bool strict = false;
    if (int usage = 0; !TakeSettingsOptions(args, settings, strict, usage))
        return usage;
    const bool fast = TakeFlag(args, "--fast");
    if (const int usage = RefuseUnknownOption(args))
        return usage;
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
    std::optional<CRecordWriter> record;
    if (log && !record.emplace(*log).Check())
        return kExitFailure;

    // The image is loaded and changed once; every box gets the same bytes.
    CStderrImage source;
    if (!LoadSourceImage(source, args[0], product))
        return kExitFailure;
    // The settings first, then the assignments, which win over them; every change is
    // checked before the first is made.
    std::vector<std::pair<int, uint32_t>> changes;
    std::optional<std::string> settingsSha256;
    if (settings)
    {
        if (!PlanSettingsFile(*settings, source.Header(), strict, changes))
            return kExitFailure;
        std::string text;
        if (ReadSettingsFile(platform::PathFromUtf8(*settings), text) == ESettingsFileRead::Ok)
            settingsSha256 = Sha256Hex(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    }
    CParameterTable table;
    BuildParameterTable(table);
    std::string error;
    if (!ResolveAssignments(table, source.Header(), assignments, changes, error))
    {
        PrintError(error);
        return kExitFailure;
    }
    for (const auto& [slot, value] : changes)
        SetParamValue(source.Header(), slot, value);

    const std::atomic<bool>& interrupted = CatchInterrupts();
    // The record names the bytes every box gets: the image after the assignments.
    CUpdateRecord image;
    if (log)
    {
        image = DescribeImage(args[0], product, source.Image());
        image.m_assignments = assignmentTexts;
        image.m_strOperator = operatorName;
        image.m_strSettingsSha256 = settingsSha256;
    }
    const bool live = platform::IsTerminal(platform::EStdStream::Error);
    const char* noColour = std::getenv("NO_COLOR");
    CStationOutput output(live, live && !(noColour && *noColour), record ? &*record : nullptr, image);
    CLinkTiming timing;
    timing.m_bFastTransfer = fast;
    CStation station(source.Image().FileBytes(), timing, output);
    station.SetTurnLimit(turns);
    station.SetBays(bays);
    const std::string goal = turns ? ", " + std::to_string(turns) + " updates" : std::string();
    std::fprintf(stderr, "station: waiting for boxes%s (Ctrl-C ends)\n", goal.c_str());

    using Clock = std::chrono::steady_clock;
    Clock::time_point nextLook = Clock::now();
    Clock::time_point nextRedraw = Clock::now();
    bool stopped = false;
    auto failedCount = [&] { return station.Finished() - station.Completed() - station.Stopped(); };
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
            if (record)
                record->Watch();
            nextLook += std::chrono::milliseconds(kPresencePollMs);
        }
        if ((stopped || (turns && station.Finished() >= turns)) && !station.IsBusy())
            break;
        if (Clock::now() >= nextRedraw)
        {
            output.Redraw(station.Slots(), station.Completed(), failedCount());
            nextRedraw = Clock::now() + std::chrono::milliseconds(kRedrawMs);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kWatchStepMs));
    }
    output.Finish();

    // Every box that did not complete, so that it can be updated again.
    for (const CStationSlot& slot : output.Unfinished())
        std::fprintf(stderr, "station: %s %s: %s\n", slot.m_bStopped ? "stopped" : "failed",
                     Who(slot).c_str(), slot.m_strText.c_str());
    const bool recorded = !record || record->Retry();
    const int failed = failedCount();
    const std::string stoppedText =
        station.Stopped() ? ", " + std::to_string(station.Stopped()) + " stopped" : "";
    const std::string missingText =
        recorded ? "" : ", " + std::to_string(record->Missing()) + " missing from the update record";
    std::fprintf(stderr, "station: %d updated, %d failed%s%s%s\n", station.Completed(), failed,
                 stoppedText.c_str(), missingText.c_str(), interrupted.load() ? " (interrupted)" : "");
    return failed == 0 && station.Stopped() == 0 && recorded ? kExitOk : kExitFailure;
}

} // namespace corvalin::cli

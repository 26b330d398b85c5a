// corvalin-cli update FILE [--port PATH] [--product NAME] [--fast] [--log LOG]

#include "cli/Commands.h"
#include "cli/DeviceSupport.h"
#include "cli/RecordWriter.h"
#include "device/CompletionSound.h"
#include "device/StatusTexts.h"
#include "platform/Terminal.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>

namespace corvalin::cli
{

namespace
{

// How often the waiting thread looks at the message and Ctrl-C while it waits for the end.
constexpr int kWatchStepMs = 20;
constexpr int kBarWidth = 40;

// Status lines on stderr, with a progress bar below them when stderr is a terminal.
// Both are called from the worker's thread.
class CTerminalOutput : public IStatusControl, public IProgressControl
{
  public:
    explicit CTerminalOutput(bool drawBar) : m_bDrawBar(drawBar) {}

    void SetText(const std::string& text) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        EraseBar();
        m_lines.SetText(text);
        DrawBar();
    }
    void SetRange(int minimum, int maximum) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_scale.SetRange(minimum, maximum);
    }
    void SetPos(int position) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_nPos = position;
        m_bShown = true;
        EraseBar();
        DrawBar();
    }
    void SetBarColor(uint32_t) override {}

    // Leaves the terminal on a fresh line.
    void Finish()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        EraseBar();
        m_bShown = false;
    }
    std::string LastText() const { return m_lines.LastText(); }
    CStderrStatus& Lines() { return m_lines; }

  private:
    void EraseBar()
    {
        if (m_bDrawBar && m_bShown)
            std::fputs("\r\033[K", stderr);
    }
    void DrawBar()
    {
        if (!m_bDrawBar || !m_bShown)
            return;
        const int percent = m_scale.Percent(m_nPos);
        int filled = percent * kBarWidth / 100;
        std::string bar(std::size_t(filled), '#');
        bar.resize(kBarWidth, '.');
        std::fprintf(stderr, "[%s] %3d%%", bar.c_str(), percent);
        std::fflush(stderr);
    }

    const bool m_bDrawBar;
    std::mutex m_mutex;
    CStderrStatus m_lines;
    CProgressScale m_scale;
    int m_nPos = 0;
    bool m_bShown = false;
};

// The "not compatible" message is answered on the terminal by the waiting thread; the
// chime plays on the worker's thread.
class CTerminalNotices : public IUpdateNotices
{
  public:
    void ShowMessage(const std::string& text) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_strMessage = text;
        m_bPending = true;
    }
    void PlayCompletionSound(const std::atomic<bool>& stop) override { PlayCompletionChime(stop); }

    bool TakeMessage(std::string& text)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_bPending)
            return false;
        m_bPending = false;
        text = m_strMessage;
        return true;
    }

  private:
    std::mutex m_mutex;
    std::string m_strMessage;
    bool m_bPending = false;
};

// Shows the message; on a terminal waits for Enter (or Ctrl-C), elsewhere goes on.
void AnswerMessage(CTerminalOutput& output, const std::string& text, const std::atomic<bool>& interrupted)
{
    output.Finish();
    bool interactive = platform::IsTerminal(platform::EStdStream::Input) &&
                       platform::IsTerminal(platform::EStdStream::Error);
    std::fprintf(stderr, "%s%s\n", text.c_str(), interactive ? " [press Enter]" : "");
    if (!interactive)
        return;
    while (!interrupted.load())
    {
        if (platform::WaitForInput(kWatchStepMs))
        {
            // What was typed does not matter: the line answers the message.
            char line[256];
            static_cast<void>(std::fgets(line, sizeof line, stdin) != nullptr);
            return;
        }
    }
}

} // namespace

int RunUpdate(Args args)
{
    bool missing = false;
    std::optional<std::string> product = TakeOption(args, "--product", missing);
    if (missing)
        return UsageError("--product needs a name");
    std::optional<std::string> port = TakeOption(args, "--port", missing);
    if (missing)
        return UsageError("--port needs a path");
    std::optional<std::string> log = TakeOption(args, "--log", missing);
    if (missing)
        return UsageError("--log needs a file");
    const bool fast = TakeFlag(args, "--fast");
    if (const int usage = RefuseUnknownOption(args))
        return usage;
    if (args.size() != 1)
        return UsageError("update takes one FILE");
    std::optional<CRecordWriter> recordFile;
    if (log && !recordFile.emplace(*log).Check())
        return kExitFailure;

    const std::atomic<bool>& interrupted = CatchInterrupts();
    CTerminalOutput output(platform::IsTerminal(platform::EStdStream::Error));
    CTerminalNotices notices;
    CUpdater updater;
    updater.AttachControls(&output, &output, &notices);
    updater.SetFastTransfer(fast);

    if (!LoadSourceImage(updater, args[0], product))
        return kExitFailure;
    if (port)
        updater.UsePortPath(*port);
    else if (!FindBox(updater, output.Lines(), &interrupted))
    {
        if (interrupted.load())
            PrintError("interrupted");
        return kExitFailure;
    }

    // Every update that was started has its record line, whatever its end; so has a
    // start that failed (the port would not open), without a duration.
    const CUpdateRecord image = log ? DescribeImage(args[0], product, updater.Image()) : CUpdateRecord{};
    bool recorded = true;
    auto record = [&](CUpdateTurn turn)
    {
        turn.m_port = updater.GetPortRecord(0);
        if (recordFile)
            recorded = recordFile->Append(MakeUpdateRecord(image, turn, std::time(nullptr)));
    };
    const EStartResult started = updater.StartUpdate(0);
    const std::time_t startTime = std::time(nullptr);
    if (started != EStartResult::Started)
    {
        CUpdateTurn turn;
        turn.m_strStatus = StartResultText(started);
        turn.m_bStopped = started == EStartResult::Stopped;
        record(turn);
        PrintPortHint(updater);
        return kExitFailure;
    }

    // Waits for the end; between waits it answers the message and passes Ctrl-C on as
    // a stop, which the worker ends its step on at once (reads and waits are cut short).
    std::optional<CUpdateOutcome> outcome;
    std::string message;
    while (!(outcome = updater.WaitForOutcome(std::chrono::milliseconds(kWatchStepMs))))
    {
        if (interrupted.load())
            updater.RequestStop();
        if (notices.TakeMessage(message))
        {
            AnswerMessage(output, message, interrupted);
            updater.DismissMessage();
        }
    }
    output.Finish();
    if (outcome->m_bStopped)
        output.SetText(OutcomeText(*outcome));
    CUpdateTurn turn = TurnOfOutcome(*outcome);
    turn.m_tStart = startTime;
    record(turn);

    if (interrupted.load())
    {
        PrintError("interrupted");
        return kExitFailure;
    }
    return outcome->m_bCompleted && recorded ? kExitOk : kExitFailure;
}

} // namespace corvalin::cli

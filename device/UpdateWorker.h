#pragma once
// The update worker: a thread that walks the box through INIT (with boot loader
// restarts and retries), one XFER per block, PREP and CLOSE over the boot loader link,
// and delivers how the update ended once, as a CUpdateOutcome.
//
// Threads: the owner's thread calls Begin, RequestStop and DismissMessage; the
// worker's thread runs the steps and calls the reporter. Every wait of the worker (a
// read, a write, a pause, the message, the sound) ends soon after RequestStop.

#include "device/BootLoaderLink.h"
#include "device/BoxPort.h"
#include "device/LinkTiming.h"
#include "device/LocalDate.h"
#include "device/UpdateOutcome.h"
#include "image/ImageHeader.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace corvalin
{

// Update states; each busy state is the step of the same name (EUpdateStep).
enum class EUpdateState : int
{
    Idle = 0,
    Init = 1,
    Xfer = 2,
    Prep = 3,
    Close = 4,
};
static_assert(int(EUpdateState::Close) - int(EUpdateState::Init) == int(EUpdateStep::Close));

// What one update sends: the header as it was at the start, the held body (which the
// owner keeps unchanged until the update has ended) and its block count.
struct CUpdateJob
{
    ImageHeader m_header{};
    const uint8_t* m_pBody = nullptr;
    std::size_t m_nBodySize = 0;
    int32_t m_nBlocks = 0;
};

// How the worker reports; called on the worker's thread.
class IUpdateReporter
{
  public:
    virtual ~IUpdateReporter() = default;
    virtual void SetStatus(const std::string& text) = 0;
    virtual void SetProgress(int position) = 0;
    virtual void SetBarColor(uint32_t color) = 0;
    // Shows the "not compatible" message and returns at once; the worker waits until
    // DismissMessage or a stop. Returns false when nobody can answer it.
    virtual bool ShowMessage(const std::string& text) = 0;
    // Plays the completion sound to its end, returning early once `stop` is set.
    virtual void PlayCompletionSound(const std::atomic<bool>& stop) = 0;
    // The update is ending and has closed the port: others may take it now, before
    // the worker goes idle.
    virtual void OnPortClosed() = 0;
    // The update has ended and the worker is idle; once per update.
    virtual void OnUpdateEnded(const CUpdateOutcome& outcome) = 0;
};

class CUpdateWorker
{
  public:
    CUpdateWorker(CBoxPort& port, const CLinkTiming& timing, IUpdateReporter& reporter);
    // Stops and joins the thread.
    ~CUpdateWorker();
    CUpdateWorker(const CUpdateWorker&) = delete;
    CUpdateWorker& operator=(const CUpdateWorker&) = delete;

    // The date stamp's source; the system's local date unless set. Not owned.
    void SetDateSource(const IDateSource* source) { m_pDateSource = source ? source : &m_systemDate; }

    // Starts the thread (idempotent).
    void StartThread();
    // Hands an update over to the worker: the port is open and the state idle.
    void Begin(const CUpdateJob& job, bool fastReads);
    void RequestStop();
    bool IsStopRequested() const { return m_bStop.load(); }
    const std::atomic<bool>& StopFlag() const { return m_bStop; }
    // The user closed the "not compatible" message.
    void DismissMessage();

    EUpdateState State() const { return EUpdateState(m_nState.load()); }
    bool IsUpdating() const { return State() != EUpdateState::Idle; }
    bool IsRunning() const { return m_bRunning.load(); }
    int Block() const { return m_link.Block(); }
    CBootLoaderLink& Link() { return m_link; }

  private:
    void Run();
    void StepInit();
    void StepXfer();
    void StepPrep();
    void StepClose();
    void Fail(EUpdateStep step, EExchangeResult result);
    // Closes the port, goes idle and delivers the outcome.
    void End(EUpdateStep step, EExchangeResult result, bool completed, bool stopped);
    // Says so once the link has turned fast reads off.
    void TellFastReadsDropped();
    bool Pause(int milliseconds);
    void WaitForDismissal();
    void SetState(EUpdateState state) { m_nState.store(int(state)); }

    CBoxPort& m_port;
    const CLinkTiming m_timing;
    IUpdateReporter& m_reporter;
    CSystemDateSource m_systemDate;
    const IDateSource* m_pDateSource = &m_systemDate;

    std::atomic<bool> m_bStop{false};
    CBootLoaderLink m_link;
    CUpdateJob m_job;
    std::atomic<int> m_nState{int(EUpdateState::Idle)};
    std::atomic<bool> m_bRunning{false};
    std::atomic<bool> m_bMessageOpen{false};
    int m_nInitRetries = 0;
    std::chrono::steady_clock::time_point m_start;

    std::mutex m_wakeMutex;
    std::condition_variable m_wake;
    std::thread m_thread;
};

} // namespace corvalin

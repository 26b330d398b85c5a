#include "device/UpdateWorker.h"

#include "device/StatusTexts.h"
#include "device/UpdaterControls.h"

namespace corvalin
{

CUpdateWorker::CUpdateWorker(CBoxPort& port, const CLinkTiming& timing, IUpdateReporter& reporter)
    : m_port(port), m_timing(timing), m_reporter(reporter), m_link(port.Bytes(), timing, m_bStop)
{
}

CUpdateWorker::~CUpdateWorker()
{
    RequestStop();
    if (m_thread.joinable())
        m_thread.join();
}

void CUpdateWorker::StartThread()
{
    if (m_thread.joinable())
        return;
    m_bRunning.store(true);
    m_thread = std::thread([this] { Run(); });
}

void CUpdateWorker::Begin(const CUpdateJob& job, bool fastReads)
{
    m_job = job;
    m_link.SetFastReads(fastReads);
    m_start = std::chrono::steady_clock::now();
    StartThread();
    {
        std::lock_guard<std::mutex> lock(m_wakeMutex);
        SetState(EUpdateState::Init);
    }
    m_wake.notify_all();
}

void CUpdateWorker::RequestStop()
{
    {
        std::lock_guard<std::mutex> lock(m_wakeMutex);
        m_bStop.store(true);
    }
    m_wake.notify_all();
}

void CUpdateWorker::DismissMessage()
{
    {
        std::lock_guard<std::mutex> lock(m_wakeMutex);
        m_bMessageOpen.store(false);
    }
    m_wake.notify_all();
}

bool CUpdateWorker::Pause(int milliseconds)
{
    std::unique_lock<std::mutex> lock(m_wakeMutex);
    m_wake.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return m_bStop.load(); });
    return !m_bStop.load();
}

void CUpdateWorker::WaitForDismissal()
{
    {
        std::lock_guard<std::mutex> lock(m_wakeMutex);
        m_bMessageOpen.store(true);
    }
    if (!m_reporter.ShowMessage(StatusText(EStatusText::NotCompatible)))
        return;
    std::unique_lock<std::mutex> lock(m_wakeMutex);
    m_wake.wait(lock, [this] { return !m_bMessageOpen.load() || m_bStop.load(); });
}

void CUpdateWorker::Run()
{
    while (!m_bStop.load())
    {
        switch (State())
        {
        case EUpdateState::Init:
            StepInit();
            break;
        case EUpdateState::Xfer:
            StepXfer();
            break;
        case EUpdateState::Prep:
            StepPrep();
            break;
        case EUpdateState::Close:
            StepClose();
            break;
        case EUpdateState::Idle:
        {
            m_nInitRetries = 0;
            std::unique_lock<std::mutex> lock(m_wakeMutex);
            m_wake.wait_for(lock, std::chrono::milliseconds(m_timing.m_nIdleStepMs),
                            [this] { return m_bStop.load() || IsUpdating(); });
            break;
        }
        }
    }
    // A stop in the middle of an update ends it as stopped, in the step it was in:
    // the busy states are numbered as the steps, one past them.
    if (IsUpdating())
        End(EUpdateStep(int(State()) - int(EUpdateState::Init)), EExchangeResult::Ok, false, true);
    m_bRunning.store(false);
}

void CUpdateWorker::End(EUpdateStep step, EExchangeResult result, bool completed, bool stopped)
{
    m_port.Close();
    CUpdateOutcome outcome;
    outcome.m_eStep = step;
    outcome.m_bCompleted = completed;
    outcome.m_bStopped = stopped;
    outcome.m_eResult = stopped ? EExchangeResult::Ok : result;
    // Blocks 0 .. N go out, so the counter passes the block count only once all have.
    outcome.m_nBlocksTotal = m_job.m_nBlocks + 1;
    outcome.m_nBlocksSent = step == EUpdateStep::Init   ? 0
                            : step == EUpdateStep::Xfer ? m_link.Block()
                                                        : outcome.m_nBlocksTotal;
    outcome.m_dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    // Idle only once the port is closed and free, so a new update never finds it in use.
    m_reporter.OnPortClosed();
    SetState(EUpdateState::Idle);
    m_reporter.OnUpdateEnded(outcome);
}

void CUpdateWorker::TellFastReadsDropped()
{
    if (m_link.TakeFastReadsDropped())
        m_reporter.SetStatus(StatusText(EStatusText::FastTransferOff));
}

void CUpdateWorker::Fail(EUpdateStep step, EExchangeResult result)
{
    // An exchange cut short by a stop is no failure of the box's.
    const bool stopped = m_bStop.load();
    if (!stopped)
    {
        m_reporter.SetStatus(StepFailedText(step, result));
        m_reporter.SetProgress(100);
    }
    End(step, result, false, stopped);
}

void CUpdateWorker::StepInit()
{
    m_reporter.SetStatus(StatusText(EStatusText::SendInit));
    m_reporter.SetBarColor(kBarColorNavy);
    // A port that failed to open fails INIT's write: result 1.
    if (!m_port.IsOpen())
        m_port.Open();

    const EExchangeResult result = m_link.Init(GetHardwareCode(m_job.m_header), m_job.m_nBlocks);
    TellFastReadsDropped();
    // An exchange cut short by a stop is no answer of the box's; the loop ends the update.
    if (m_bStop.load())
        return;
    switch (result)
    {
    case EExchangeResult::Ok:
        SetState(EUpdateState::Xfer);
        m_reporter.SetStatus(StatusText(EStatusText::StartXfer));
        break;
    case EExchangeResult::BadStatus:
        // The box is restarting into its boot loader: wait, then INIT on a fresh port.
        m_reporter.SetStatus(RestartingText(result));
        Pause(m_timing.m_nRestartPauseMs);
        m_port.Close();
        break;
    case EExchangeResult::NoReply:
        m_reporter.SetProgress(100);
        if (++m_nInitRetries < m_timing.m_nInitAttempts)
        {
            m_port.Close();
            m_port.Open();
        }
        else
            Fail(EUpdateStep::Init, result);
        break;
    default:
        Fail(EUpdateStep::Init, result);
        break;
    }
}

void CUpdateWorker::StepXfer()
{
    if (m_link.Block() > m_job.m_nBlocks)
    {
        m_reporter.SetProgress(100);
        SetState(EUpdateState::Prep);
        m_reporter.SetStatus(StatusText(EStatusText::SendPrep));
        return;
    }
    const EExchangeResult result = m_link.Xfer(m_job.m_pBody, m_job.m_nBodySize);
    TellFastReadsDropped();
    if (result != EExchangeResult::Ok)
    {
        Fail(EUpdateStep::Xfer, result);
        return;
    }
    m_reporter.SetProgress(int(int64_t(m_link.Block()) * 100 / m_job.m_nBlocks));
}

void CUpdateWorker::StepPrep()
{
    const EExchangeResult result = m_link.Prep(m_job.m_header, DateToBcd(m_pDateSource->Today()));
    TellFastReadsDropped();
    if (m_bStop.load())
        return;
    if (result == EExchangeResult::Ok)
    {
        SetState(EUpdateState::Close);
        m_reporter.SetStatus(StatusText(EStatusText::SendClose));
        return;
    }
    m_reporter.SetStatus(StepFailedText(EUpdateStep::Prep, result));
    WaitForDismissal();
    // The status line keeps the "PREP Failed" text; the bar shows the failure.
    m_reporter.SetProgress(100);
    End(EUpdateStep::Prep, result, false, false);
}

void CUpdateWorker::StepClose()
{
    const EExchangeResult result = m_link.Close();
    TellFastReadsDropped();
    if (result != EExchangeResult::Ok)
    {
        Fail(EUpdateStep::Close, result);
        return;
    }
    m_reporter.SetStatus(StatusText(EStatusText::UpdateComplete));
    m_reporter.SetBarColor(kBarColorGreen);
    m_reporter.PlayCompletionSound(m_bStop);
    End(EUpdateStep::Close, result, true, false);
}

} // namespace corvalin

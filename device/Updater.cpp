#include "device/Updater.h"

#include "device/CompletionSound.h"
#include "device/StatusTexts.h"
#include "platform/SerialPortMap.h"

namespace corvalin
{

namespace
{

// Who holds the port (m_nPortUser).
constexpr int kPortFree = 0;
constexpr int kPortDiscovery = 1;
constexpr int kPortUpdate = 2;

// Takes the port for `user` while it is free; gives it back when destroyed unless kept.
class CPortClaim
{
  public:
    CPortClaim(std::atomic<int>& owner, int user) : m_owner(owner)
    {
        int expected = kPortFree;
        m_bHeld = m_owner.compare_exchange_strong(expected, user);
    }
    ~CPortClaim()
    {
        if (m_bHeld)
            m_owner.store(kPortFree);
    }
    CPortClaim(const CPortClaim&) = delete;
    CPortClaim& operator=(const CPortClaim&) = delete;
    bool IsHeld() const { return m_bHeld; }
    // The claim outlives this object: the update gives it back when it ends.
    void Keep() { m_bHeld = false; }

  private:
    std::atomic<int>& m_owner;
    bool m_bHeld = false;
};

} // namespace

CUpdater::CUpdater(const CLinkTiming& timing)
    : m_timing(timing), m_port(timing), m_bFastChoice(timing.m_bFastTransfer), m_worker(m_port, timing, *this)
{
}

CUpdater::~CUpdater()
{
    m_worker.RequestStop();
    // The worker's destructor joins it; the port goes after.
}

void CUpdater::AttachControls(IProgressControl* progress, IStatusControl* status, IUpdateNotices* notices)
{
    if (progress)
    {
        progress->SetRange(0, 100);
        progress->SetPos(0);
        m_pProgress.store(progress);
    }
    if (status)
    {
        status->SetText("");
        m_pStatus.store(status);
    }
    if (notices)
        m_pNotices = notices;
}

void CUpdater::SetStatus(const std::string& text)
{
    if (IStatusControl* status = m_pStatus.load())
        status->SetText(text);
}

void CUpdater::SetProgress(int position)
{
    if (IProgressControl* progress = m_pProgress.load())
        progress->SetPos(position);
}

void CUpdater::SetBarColor(uint32_t color)
{
    if (IProgressControl* progress = m_pProgress.load())
        progress->SetBarColor(color);
}

bool CUpdater::ShowMessage(const std::string& text)
{
    IUpdateNotices* notices = m_pNotices.load();
    if (!notices)
        return false;
    notices->ShowMessage(text);
    return true;
}

void CUpdater::PlayCompletionSound(const std::atomic<bool>& stop)
{
    if (IUpdateNotices* notices = m_pNotices.load())
        notices->PlayCompletionSound(stop);
    else
        PlayCompletionChime(stop);
}

void CUpdater::OnPortClosed()
{
    m_nPortUser.store(kPortFree);
}

void CUpdater::OnUpdateEnded(const CUpdateOutcome& outcome)
{
    {
        std::lock_guard<std::mutex> lock(m_outcomeMutex);
        m_lastOutcome = outcome;
        m_bOutcomePending = false;
    }
    m_outcomeReady.notify_all();
}

std::optional<CUpdateOutcome> CUpdater::WaitForOutcome(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(m_outcomeMutex);
    if (!m_outcomeReady.wait_for(lock, timeout, [this] { return !m_bOutcomePending; }))
        return std::nullopt;
    return m_lastOutcome;
}

StatusFn CUpdater::StatusWriter()
{
    return [this](const std::string& text) { SetStatus(text); };
}

bool CUpdater::RefuseDuringUpdate()
{
    if (!IsUpdating())
        return false;
    SetStatus(StatusText(EStatusText::WaitForUpdate));
    return true;
}

int CUpdater::LoadImageFile(const std::filesystem::path& path)
{
    // The worker reads the held body until the update ends; replacing it now would
    // free the bytes it is sending.
    if (RefuseDuringUpdate())
        return 0;
    return m_image.LoadFile(path, StatusWriter());
}

int CUpdater::LoadImageBuffer(const uint8_t* bytes, std::size_t length)
{
    if (RefuseDuringUpdate())
        return 0;
    return m_image.LoadBuffer(bytes, length, StatusWriter());
}

bool CUpdater::StoreImageFile(const std::filesystem::path& path)
{
    return m_image.StoreFile(path, StatusWriter());
}

// --- Discovery ---

int CUpdater::FindDevice()
{
    return FindDeviceAt(platform::kFirstBridgeDevice);
}

std::optional<CDeviceRecord> CUpdater::AskForRecord()
{
    CBootLoaderLink link(m_port.Bytes(), m_timing, m_worker.StopFlag());
    // Discovery reads by the time-outs alone, whatever the fast transfer choice.
    link.SetFastReads(false);
    std::vector<uint8_t> reply;
    // A stop ends the reads at once; it must not lead to a second attempt either.
    if (!link.Query(reply))
    {
        m_port.Close();
        if (IsStopRequested() || !m_port.Open() || !link.Query(reply))
            return std::nullopt;
    }
    return ParseDeviceRecord(reply);
}

int CUpdater::EndProbe(EProbeResult result)
{
    m_nLastProbe.store(result);
    return m_ports.Size();
}

int CUpdater::FindDeviceAt(const std::string& driverDevice)
{
    return ProbePort(driverDevice, platform::LookupSerialPort(driverDevice));
}

int CUpdater::FindDeviceOn(const platform::CBridgePort& bridge)
{
    return ProbePort(bridge.m_strDevice, bridge.m_port);
}

int CUpdater::ProbePort(const std::string& driverDevice, const std::optional<platform::CMappedPort>& mapped)
{
    CPortClaim claim(m_nPortUser, kPortDiscovery);
    // An update (or another probe) owns the port; the list it works on stays.
    if (!claim.IsHeld())
        return EndProbe(EProbeResult::Busy);

    m_ports.Clear();
    if (!mapped)
        return EndProbe(EProbeResult::NoBridge);
    m_port.SetPath(mapped->m_strPath);
    if (!m_port.Open())
    {
        SetStatus(StatusText(EStatusText::CannotFindDevice));
        return EndProbe(EProbeResult::CannotOpen);
    }
    const std::optional<CDeviceRecord> record = AskForRecord();
    // The port stays open only for an update that is to follow on it.
    if (!record || !m_bHoldProbedPort)
        m_port.Close();
    if (!record)
        return EndProbe(IsStopRequested() ? EProbeResult::Stopped : EProbeResult::NoAnswer);
    m_ports.Add(
        {driverDevice, mapped->m_strPath, {mapped->m_strName, true, record->m_strName, record->m_nNumber}});
    return EndProbe(EProbeResult::Found);
}

int CUpdater::UsePortPath(const std::string& path)
{
    CPortClaim claim(m_nPortUser, kPortDiscovery);
    if (!claim.IsHeld())
        return 0;
    m_ports.Assign({CPortEntry{{}, path, CPortRecord{path, false, {}, 0}}});
    m_port.SetPath(path);
    return 1;
}

std::string CUpdater::GetPortEntry(int index) const
{
    const std::optional<CPortEntry> entry = m_ports.At(index);
    return entry ? PortEntryText(*entry) : StatusText(EStatusText::WrongIndex);
}

CPortRecord CUpdater::GetPortRecord(int index) const
{
    const std::optional<CPortEntry> entry = m_ports.At(index);
    return entry ? entry->m_record : CPortRecord{};
}

// --- Starting ---

EStartResult CUpdater::StartUpdate(int index)
{
    auto refuse = [this](EStartResult result)
    {
        SetStatus(StartResultText(result));
        return result;
    };
    if (!m_image.IsHeld())
        return refuse(EStartResult::NoImage);
    const std::optional<CPortEntry> entry = m_ports.At(index);
    if (!entry)
        return refuse(EStartResult::NoDevice);
    if (IsUpdating())
        return refuse(EStartResult::Busy);
    if (IsStopRequested())
        return EStartResult::Stopped;
    CPortClaim claim(m_nPortUser, kPortUpdate);
    // A probe holds the port right now.
    if (!claim.IsHeld())
        return refuse(EStartResult::CannotOpen);

    const bool held = m_bHoldProbedPort && m_port.IsOpen() && m_port.Path() == entry->m_strPath;
    if (!held)
    {
        m_port.Close();
        m_port.SetPath(entry->m_strPath);
        if (!m_port.Open())
            return refuse(EStartResult::CannotOpen);
    }
    // The update sends the header as it is now; later edits wait for the next update.
    CUpdateJob job;
    job.m_header = m_image.Header();
    job.m_pBody = m_image.Body();
    job.m_nBodySize = m_image.BodySize();
    job.m_nBlocks = m_image.Blocks();
    {
        std::lock_guard<std::mutex> lock(m_outcomeMutex);
        m_bOutcomePending = true;
    }
    // The worker gives the port back as the update ends.
    claim.Keep();
    m_worker.Begin(job, m_bFastChoice.load());
    return EStartResult::Started;
}

} // namespace corvalin

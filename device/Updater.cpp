#include "device/Updater.h"

#include "device/CompletionSound.h"
#include "platform/SerialPortMap.h"

#include <chrono>
#include <cstdio>
#include <cstring>

namespace corvalin
{

namespace
{

constexpr const char* kImageNotLoaded = "Image was not loaded";
constexpr const char* kWaitForUpdate = "Wait for previous update to finish";
constexpr const char* kUnableToOpen = "Unable to open the device";
constexpr const char* kNoDevice = "No device found";
constexpr const char* kFastTransferOff = "Late reply bytes, fast transfer off";
constexpr const char* kCannotFindDevice = "Cannot find device";
constexpr const char* kWrongIndex = "Wrong index";
constexpr const char* kSendInit = "Send INIT";
constexpr const char* kStartXfer = "Start XFER";
constexpr const char* kSendPrep = "Send PREP";
constexpr const char* kSendClose = "Send CLOSE";
constexpr const char* kUpdateComplete = "Update complete";
constexpr const char* kNotCompatible = "Error: The image file is not compatible with the hardware";

// Who holds the port (m_nPortUser).
constexpr int kPortFree = 0;
constexpr int kPortDiscovery = 1;
constexpr int kPortUpdate = 2;

// Wire format, both directions: AA 55, L (u16 LE: command byte plus payload),
// command or reply code, payload. No checksum, no end marker.
constexpr uint8_t kFrameStart0 = 0xAA;
constexpr uint8_t kFrameStart1 = 0x55;
constexpr uint8_t kCmdQuery = 0x00;
constexpr uint8_t kCmdInit = 0x02;
constexpr uint8_t kReplyInit = 0x03;
constexpr uint8_t kCmdXfer = 0x04;
constexpr uint8_t kReplyDone = 0x05;
constexpr uint8_t kCmdPrep = 0x06;
constexpr uint8_t kCmdClose = 0x07;

// Device record (the QUERY reply's payload) and configuration record (PREP's).
constexpr std::size_t kFrameHeaderSize = 5;
constexpr std::size_t kRecordSize = 520;
constexpr uint32_t kMarkConfigured = 0xABADCAFEu;
constexpr uint32_t kMarkEmpty = 0xABADF00Du;
constexpr uint32_t kMarkErased = 0xFFFFFFFFu;
constexpr std::size_t kRecordNameOffset = 8;
constexpr std::size_t kRecordNumberOffset = 44;
constexpr std::size_t kConfigNameSize = 112;
constexpr std::size_t kConfigIdOffset = 120;
constexpr std::size_t kConfigValueOffset = 320;
constexpr uint32_t kDateStampId = 4;

std::vector<uint8_t> StartFrame(uint8_t command, std::size_t payloadSize)
{
    std::vector<uint8_t> frame(kFrameHeaderSize + payloadSize, 0);
    frame[0] = kFrameStart0;
    frame[1] = kFrameStart1;
    WriteLe16(&frame[2], uint16_t(payloadSize + 1));
    frame[4] = command;
    return frame;
}

std::string Formatted(const char* format, int value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

} // namespace

CUpdater::CUpdater(const CLinkTiming& timing)
    : m_timing(timing), m_bFastChoice(timing.bFastTransfer), m_bFastReads(timing.bFastTransfer)
{
}

CUpdater::~CUpdater()
{
    RequestStop();
    if (m_thread.joinable())
        m_thread.join();
    ClosePort();
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

void CUpdater::SetDateSource(const IDateSource* source)
{
    m_pDateSource = source ? source : &m_systemDate;
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

StatusFn CUpdater::StatusWriter()
{
    return [this](const std::string& text) { SetStatus(text); };
}

bool CUpdater::RefuseDuringUpdate()
{
    if (!IsUpdating())
        return false;
    SetStatus(kWaitForUpdate);
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

void CUpdater::StoreImageFile(const std::filesystem::path& path)
{
    m_image.StoreFile(path, StatusWriter());
}

// --- Port ---

int CUpdater::OpenPort()
{
    platform::CPortTimeouts timeouts{m_timing.nReadIntervalMs, m_timing.nReadMultiplierMs,
                                     m_timing.nReadConstantMs, m_timing.nFrameTailGraceMs,
                                     m_timing.nStopCheckMs,    m_timing.nWriteMultiplierMs,
                                     m_timing.nWriteCallBytes};
    return m_port.Open(m_strPortPath, timeouts) ? 1 : 0;
}

void CUpdater::ClosePort()
{
    m_port.Close();
}

int CUpdater::ReadPort(uint8_t* buffer, std::size_t maximum, std::size_t& count, bool endAtFrame)
{
    return m_port.Read(buffer, maximum, count, endAtFrame, &m_bStop) ? 1 : 0;
}

int CUpdater::WritePort(const uint8_t* buffer, std::size_t length, std::size_t& count)
{
    return m_port.Write(buffer, length, count, &m_bStop) ? 1 : 0;
}

// --- Discovery ---

int CUpdater::FindDevice()
{
    return FindDeviceAt(platform::kFirstBridgeDevice);
}

int CUpdater::FindDeviceAt(const std::string& driverDevice)
{
    int expected = kPortFree;
    if (!m_nPortUser.compare_exchange_strong(expected, kPortDiscovery))
    {
        // An update (or another probe) owns the port; the list it works on stays.
        std::lock_guard<std::mutex> lock(m_listMutex);
        return int(m_portNames.size());
    }
    struct CRelease
    {
        std::atomic<int>& user;
        ~CRelease() { user.store(kPortFree); }
    } release{m_nPortUser};

    {
        std::lock_guard<std::mutex> lock(m_listMutex);
        m_portNames.clear();
        m_portNumbers.clear();
        m_portPaths.clear();
        m_portRecords.clear();
    }

    std::optional<platform::CMappedPort> mapped = platform::LookupSerialPort(driverDevice);
    if (!mapped)
        return 0;
    m_strPortPath = mapped->strPath;
    m_nPort = platform::ParseComPortNumber(mapped->strName).value_or(0);

    if (!OpenPort())
    {
        SetStatus(kCannotFindDevice);
        return 0;
    }

    const std::vector<uint8_t> query = StartFrame(kCmdQuery, 0);
    // Cleared once per attempt, so a reply shorter than a whole record reads as zeros
    // past its end and fails the mark test.
    std::vector<uint8_t> reply(std::size_t(m_timing.nQueryBufferSize), 0);
    auto ask = [&] {
        std::size_t written = 0;
        WritePort(query.data(), query.size(), written);
        std::fill(reply.begin(), reply.end(), 0);
        for (int i = 0; i < m_timing.nQueryReads; ++i)
        {
            std::size_t count = 0;
            ReadPort(reply.data(), reply.size(), count);
            if (count > 0)
                return true;
        }
        return false;
    };

    // A stop ends the reads at once; it must not lead to a second attempt either.
    if (!ask())
    {
        ClosePort();
        if (m_bStop.load() || !OpenPort() || !ask())
        {
            ClosePort();
            return 0;
        }
    }
    // The port stays open only for an update that is to follow on it.
    struct CCloseUnlessHeld
    {
        CUpdater& updater;
        bool bHeld = false;
        ~CCloseUnlessHeld()
        {
            if (!bHeld)
                updater.ClosePort();
        }
    } closing{*this};
    if (reply.size() < kFrameHeaderSize + kRecordSize)
        return 0;

    const uint8_t* record = reply.data() + kFrameHeaderSize;
    uint32_t mark = ReadLe32(record);
    int32_t number = int32_t(ReadLe32(record + kRecordNumberOffset));
    std::string name;
    for (std::size_t i = kRecordNameOffset; i < kRecordSize && record[i] != 0; ++i)
        name.push_back(char(record[i]));

    std::string shown;
    if (mark == kMarkConfigured)
        shown = name;
    else if (mark == kMarkEmpty || mark == kMarkErased)
        shown = "Empty";
    else
        return 0;

    char number8[32];
    std::snprintf(number8, sizeof number8, "%8.8d", int(number));
    std::lock_guard<std::mutex> lock(m_listMutex);
    m_portNames.push_back(mapped->strName + " | " + shown + " | " + number8);
    m_portNumbers.push_back(m_nPort);
    m_portPaths.push_back(m_strPortPath);
    closing.bHeld = m_bHoldProbedPort;
    m_portRecords.push_back({mapped->strName, true, shown, number});
    return int(m_portNames.size());
}

int CUpdater::UsePortPath(const std::string& path)
{
    int expected = kPortFree;
    if (!m_nPortUser.compare_exchange_strong(expected, kPortDiscovery))
        return 0;
    {
        std::lock_guard<std::mutex> lock(m_listMutex);
        m_portNames.assign(1, path);
        m_portNumbers.assign(1, platform::ParseComPortNumber(path).value_or(0));
        m_portPaths.assign(1, path);
        m_portRecords.assign(1, CPortRecord{path, false, {}, 0});
    }
    m_strPortPath = path;
    m_nPortUser.store(kPortFree);
    return 1;
}

std::string CUpdater::GetPortEntry(int index) const
{
    std::lock_guard<std::mutex> lock(m_listMutex);
    if (index < 0 || std::size_t(index) >= m_portNames.size())
        return kWrongIndex;
    return m_portNames[std::size_t(index)];
}

CPortRecord CUpdater::GetPortRecord(int index) const
{
    std::lock_guard<std::mutex> lock(m_listMutex);
    if (index < 0 || std::size_t(index) >= m_portRecords.size())
        return {};
    return m_portRecords[std::size_t(index)];
}

// --- Starting and stopping ---

namespace
{

int64_t SteadyNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

double CUpdater::LastUpdateSeconds() const
{
    const int64_t start = m_nStartNs.load();
    const int64_t end = m_nEndNs.load();
    return end >= start && start != 0 ? double(end - start) / 1e9 : 0.0;
}

void CUpdater::StartThread()
{
    if (m_thread.joinable())
        return;
    m_bRunning.store(true);
    m_thread = std::thread([this] { Run(); });
}

void CUpdater::StartUpdate(int index)
{
    if (!m_image.IsHeld())
    {
        SetStatus(kImageNotLoaded);
        return;
    }
    std::string path;
    int number = 0;
    {
        std::lock_guard<std::mutex> lock(m_listMutex);
        if (index < 0 || std::size_t(index) >= m_portNames.size())
        {
            SetStatus(kNoDevice);
            return;
        }
        path = m_portPaths[std::size_t(index)];
        number = m_portNumbers[std::size_t(index)];
    }
    if (m_nState.load() != kStateIdle)
    {
        SetStatus(kWaitForUpdate);
        return;
    }
    if (m_bStop.load())
        return;
    int expected = kPortFree;
    if (!m_nPortUser.compare_exchange_strong(expected, kPortUpdate))
    {
        // A probe holds the port right now.
        SetStatus(kUnableToOpen);
        return;
    }

    const bool held = m_bHoldProbedPort && IsPortOpen() && m_strPortPath == path;
    if (!held)
        ClosePort();
    m_strPortPath = path;
    m_nPort = number;
    if (!held && !OpenPort())
    {
        m_nPortUser.store(kPortFree);
        SetStatus(kUnableToOpen);
        return;
    }
    // The update sends the header as it is now; later edits wait for the next update.
    m_sendHeader = m_image.Header();
    m_bFastReads.store(m_bFastChoice.load());
    m_nEndNs.store(0);
    m_nStartNs.store(SteadyNowNs());
    StartThread();
    {
        std::lock_guard<std::mutex> lock(m_wakeMutex);
        m_nState.store(kStateInit);
    }
    m_wake.notify_all();
}

void CUpdater::RequestStop()
{
    {
        std::lock_guard<std::mutex> lock(m_wakeMutex);
        m_bStop.store(true);
    }
    m_wake.notify_all();
}

void CUpdater::SetFastTransfer(bool fast)
{
    m_bFastChoice.store(fast);
    if (!IsUpdating())
        m_bFastReads.store(fast);
}

void CUpdater::DismissMessage()
{
    {
        std::lock_guard<std::mutex> lock(m_wakeMutex);
        m_bMessageOpen.store(false);
    }
    m_wake.notify_all();
}

bool CUpdater::Pause(int milliseconds)
{
    std::unique_lock<std::mutex> lock(m_wakeMutex);
    m_wake.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return m_bStop.load(); });
    return !m_bStop.load();
}

void CUpdater::WaitForDismissal()
{
    IUpdateNotices* notices = m_pNotices.load();
    if (!notices)
        return;
    {
        std::lock_guard<std::mutex> lock(m_wakeMutex);
        m_bMessageOpen.store(true);
    }
    notices->ShowMessage(kNotCompatible);
    std::unique_lock<std::mutex> lock(m_wakeMutex);
    m_wake.wait(lock, [this] { return !m_bMessageOpen.load() || m_bStop.load(); });
}

// --- The worker's loop ---

void CUpdater::Run()
{
    while (!m_bStop.load())
    {
        switch (m_nState.load())
        {
        case kStateInit:
            StepInit();
            break;
        case kStateXfer:
            StepXfer();
            break;
        case kStatePrep:
            StepPrep();
            break;
        case kStateClose:
            StepClose();
            break;
        default:
        {
            m_nInitRetries = 0;
            std::unique_lock<std::mutex> lock(m_wakeMutex);
            m_wake.wait_for(lock, std::chrono::milliseconds(m_timing.nIdleStepMs),
                            [this] { return m_bStop.load() || m_nState.load() != kStateIdle; });
            break;
        }
        }
    }
    // A stop in the middle of an update leaves the port closed and the state idle.
    if (m_nState.load() != kStateIdle)
        EndUpdate();
    m_bRunning.store(false);
}

void CUpdater::EndUpdate()
{
    ClosePort();
    m_nEndNs.store(SteadyNowNs());
    m_nPortUser.store(kPortFree);
    m_nState.store(kStateIdle);
}

void CUpdater::FailUpdate(const std::string& text)
{
    // An exchange cut short by a stop request is no failure of the box's.
    if (m_bStop.load())
    {
        EndUpdate();
        return;
    }
    SetStatus(text);
    SetProgress(100);
    EndUpdate();
}

void CUpdater::StepInit()
{
    SetStatus(kSendInit);
    SetBarColor(kBarColorNavy);
    if (!m_port.IsOpen())
        OpenPort();

    int result = SendInit();
    // An exchange cut short by a stop is no answer of the box's; the loop ends the update.
    if (m_bStop.load())
        return;
    switch (result)
    {
    case kExchangeOk:
        m_nState.store(kStateXfer);
        SetStatus(kStartXfer);
        break;
    case kExchangeBadStatus:
        // The box is restarting into its boot loader: wait, then INIT on a fresh port.
        SetStatus(Formatted("Restarting to BootLoader: %d", result));
        Pause(m_timing.nRestartPauseMs);
        ClosePort();
        break;
    case kExchangeNoReply:
        SetProgress(100);
        if (++m_nInitRetries < m_timing.nInitAttempts)
        {
            ClosePort();
            OpenPort();
        }
        else
            FailUpdate(Formatted("INIT Failed: %d", result));
        break;
    default:
        FailUpdate(Formatted("INIT Failed: %d", result));
        break;
    }
}

void CUpdater::StepXfer()
{
    const int blocks = m_image.Blocks();
    if (m_nBlock.load() > blocks)
    {
        SetProgress(100);
        m_nState.store(kStatePrep);
        SetStatus(kSendPrep);
        return;
    }
    int result = SendBlock();
    if (result != kExchangeOk)
    {
        FailUpdate(Formatted("XFER Failed: %d", result));
        return;
    }
    SetProgress(int(int64_t(m_nBlock.load()) * 100 / blocks));
}

void CUpdater::StepPrep()
{
    int result = SendPrep();
    if (m_bStop.load())
        return;
    if (result == kExchangeOk)
    {
        m_nState.store(kStateClose);
        SetStatus(kSendClose);
        return;
    }
    SetStatus(Formatted("PREP Failed: %d", result));
    WaitForDismissal();
    SetProgress(100);
    EndUpdate();
}

void CUpdater::StepClose()
{
    int result = SendClose();
    if (result != kExchangeOk)
    {
        FailUpdate(Formatted("CLOSE Failed: %d", result));
        return;
    }
    SetStatus(kUpdateComplete);
    SetBarColor(kBarColorGreen);
    if (IUpdateNotices* notices = m_pNotices.load())
        notices->PlayCompletionSound(m_bStop);
    else
        PlayCompletionChime(m_bStop);
    // Idle only once the port is closed, so a new update never finds it in use.
    EndUpdate();
}

// --- Boot loader exchanges ---

int CUpdater::Exchange(std::vector<uint8_t>& frame, uint8_t expectedReply)
{
    std::size_t written = 0;
    if (!WritePort(frame.data(), frame.size(), written) || written != frame.size())
        return kExchangeShortWrite;

    // Each read overwrites the buffer from its start; only the bytes of the last read
    // are judged, never what an earlier read left behind them.
    const bool fast = m_bFastReads.load();
    std::vector<uint8_t> reply(std::size_t(m_timing.nExchangeBufferSize), 0);
    std::size_t count = 0;
    std::size_t start = 0;
    auto syncAt = [&](std::size_t at)
    { return at + 1 < count && reply[at] == kFrameStart0 && reply[at + 1] == kFrameStart1; };
    for (int i = 0; i < m_timing.nExchangeReads; ++i)
    {
        ReadPort(reply.data(), reply.size(), count, fast);
        start = 0;
        if (syncAt(0))
            break;
        // A fast read that ended before the late bytes of the previous reply came finds
        // them ahead of this reply: judge the frame from its sync mark, and go on with
        // the box's own timing, whose quiet time takes such bytes into their reply.
        if (fast)
        {
            while (start < count && !syncAt(start))
                ++start;
            if (start < count)
            {
                if (m_bFastReads.exchange(false))
                    SetStatus(kFastTransferOff);
                break;
            }
            start = 0;
        }
    }
    if (count == 0)
        return kExchangeNoReply;
    if (!syncAt(start))
        return kExchangeBadStart;
    if (count <= start + 4 || reply[start + 4] != expectedReply)
        return kExchangeBadCode;
    if (count <= start + 5 || reply[start + 5] != 0)
        return kExchangeBadStatus;
    return kExchangeOk;
}

int CUpdater::SendInit()
{
    m_nBlock.store(0);
    std::vector<uint8_t> frame = StartFrame(kCmdInit, 6);
    WriteLe32(&frame[5], GetHardwareCode(SendHeader()));
    WriteLe16(&frame[9], uint16_t(m_image.Blocks() & 0xFFFF));
    return Exchange(frame, kReplyInit);
}

int CUpdater::SendBlock()
{
    const int block = m_nBlock.load();
    std::vector<uint8_t> frame = StartFrame(kCmdXfer, 2 + kBlockSize);
    WriteLe16(&frame[5], uint16_t(block));
    // The last block reaches past the body's end; those bytes go as zeros.
    const std::size_t offset = std::size_t(block) * kBlockSize;
    const std::size_t bodySize = m_image.BodySize();
    if (offset < bodySize)
        std::memcpy(&frame[7], m_image.Body() + offset, std::min(kBlockSize, bodySize - offset));
    int result = Exchange(frame, kReplyDone);
    if (result == kExchangeOk)
        m_nBlock.store(block + 1);
    return result;
}

std::vector<uint8_t> CUpdater::BuildConfigRecord(const ImageHeader& header, uint32_t bcdDate)
{
    std::vector<uint8_t> record(kRecordSize, 0);
    WriteLe32(&record[0], kMarkConfigured);
    WriteLe32(&record[4], GetHardwareCode(header));
    // The name with its NUL; a name that fills its whole field gets one added here
    // rather than running on into the parameter list.
    std::size_t nameLength = 0;
    while (nameLength < kNameSize && header[kNameOffset + nameLength] != 0)
        ++nameLength;
    static_assert(kNameSize < kConfigNameSize);
    std::memcpy(&record[kRecordNameOffset], &header[kNameOffset], nameLength);

    for (int i = 0; i < kParamSlots; ++i)
    {
        uint32_t id = GetParamId(header, i);
        uint8_t* idAt = &record[kConfigIdOffset + 4 * std::size_t(i)];
        uint8_t* valueAt = &record[kConfigValueOffset + 4 * std::size_t(i)];
        if (id == kParamTerminator && i + 1 < kParamSlots)
        {
            WriteLe32(idAt, kDateStampId);
            WriteLe32(valueAt, bcdDate);
            WriteLe32(idAt + 4, kParamTerminator);
            break;
        }
        WriteLe32(idAt, id);
        WriteLe32(valueAt, GetParamValue(header, i));
        if (id == kParamTerminator)
            break;
    }
    return record;
}

int CUpdater::SendPrep()
{
    std::vector<uint8_t> record = BuildConfigRecord(SendHeader(), DateToBcd(m_pDateSource->Today()));
    std::vector<uint8_t> frame = StartFrame(kCmdPrep, kRecordSize);
    std::memcpy(&frame[kFrameHeaderSize], record.data(), kRecordSize);
    return Exchange(frame, kReplyDone);
}

int CUpdater::SendClose()
{
    m_nBlock.store(0);
    std::vector<uint8_t> frame = StartFrame(kCmdClose, 1);
    return Exchange(frame, kReplyDone);
}

} // namespace corvalin

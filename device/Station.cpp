#include "device/Station.h"

#include "device/BoxProbe.h"
#include "device/PresenceTiming.h"
#include "device/StatusTexts.h"
#include "device/UpdateRecord.h"
#include "device/Updater.h"
#include "platform/DeviceHints.h"
#include "platform/SerialPortMap.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>

namespace corvalin
{

// One bridge: its updater, its probe thread, and what it shows. The worker's texts and
// progress arrive on the worker's thread, hence the lock.
class CStation::CBridge : public IStatusControl, public IProgressControl, public IUpdateNotices
{
  public:
    CBridge(const platform::CBridgePort& port, const std::string& bay, const CLinkTiming& timing,
            IStationListener& listener)
        : m_port(port), m_updater(timing), m_listener(listener)
    {
        m_slot.m_strDevice = port.m_strDevice;
        m_slot.m_strPort = port.m_port.m_strName;
        if (!port.m_strLocation.empty())
            m_slot.m_strPlace = "USB " + port.m_strLocation;
        m_slot.m_strBay = bay;
        // From the probe to the end of the update the port stays this station's.
        m_updater.SetHoldProbedPort(true);
        m_slot.m_record.m_strPort = port.m_port.m_strName;
    }
    ~CBridge() override
    {
        m_updater.RequestStop();
        m_probe.Join();
    }

    // Loads the image (before the controls are attached, so its texts are no turn's),
    // then asks the box on a thread of its own: a silent box takes the time-outs of
    // every attempt.
    void StartProbe(const std::vector<uint8_t>& image)
    {
        m_updater.LoadImageBuffer(image.data(), image.size());
        m_updater.AttachControls(this, this, this);
        SetState(EStationState::Probing);
        m_probe.Start(m_port);
    }

    // Whether `port` is this bridge plugged in anew: same place, other enumeration.
    bool IsReplugOf(const platform::CBridgePort& port) const
    {
        return port.m_strInstance != m_port.m_strInstance || port.m_port.m_strPath != m_port.m_port.m_strPath;
    }

    void SetText(const std::string& text) override
    {
        CStationSlot slot;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_slot.m_strText = text;
            slot = m_slot;
        }
        m_listener.OnText(slot, text);
    }
    void SetRange(int minimum, int maximum) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_scale.SetRange(minimum, maximum);
    }
    void SetPos(int position) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_slot.m_nPercent = m_scale.Percent(position);
    }
    void SetBarColor(uint32_t) override {}
    // Nobody sits at a station to answer a message box: the text goes to the listener
    // like any status text, and the look after it dismisses it.
    void ShowMessage(const std::string& text) override
    {
        m_bMessage.store(true);
        SetText(text);
    }
    // Many boxes end within seconds of each other; a chime each would say nothing.
    void PlayCompletionSound(const std::atomic<bool>&) override {}

    CStationSlot Slot() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_slot;
    }
    void SetState(EStationState state)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_slot.m_eState = state;
    }
    void SetEntry(const std::string& entry, const CPortRecord& record)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_slot.m_strEntry = entry;
        m_slot.m_record = record;
    }
    void SetStarted(std::time_t when)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_slot.m_tStart = when;
    }
    // The update's end as the outcome tells it.
    void SetOutcome(const CUpdateOutcome& outcome)
    {
        const CUpdateTurn turn = TurnOfOutcome(outcome);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_slot.m_strText = turn.m_strStatus;
        m_slot.m_bCompleted = turn.m_bSuccess;
        m_slot.m_bStopped = turn.m_bStopped;
        m_slot.m_dSeconds = turn.m_dSeconds;
        m_slot.m_nFailedBlock = turn.m_nFailedBlock;
    }
    void SetHint(const std::string& hint)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_slot.m_strHint = hint;
    }
    // The turn's end: its result in words and how it ended.
    void SetResult(const std::string& text, bool completed, bool stopped)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_slot.m_strText = text;
        m_slot.m_bCompleted = completed;
        m_slot.m_bStopped = stopped;
    }

    const platform::CBridgePort m_port;
    CUpdater m_updater;
    CBoxProbe m_probe{m_updater};
    std::atomic<bool> m_bMessage{false};
    int m_nLooks = 0;     // looks in a row that saw the bridge
    bool m_bSeen = false; // seen by the current look

  private:
    IStationListener& m_listener;
    mutable std::mutex m_mutex;
    CStationSlot m_slot;
    CProgressScale m_scale;
};

CStation::CStation(std::vector<uint8_t> imageFile, const CLinkTiming& timing, IStationListener& listener)
    : m_image(std::move(imageFile)), m_timing(timing), m_listener(listener)
{
}

CStation::~CStation()
{
    RequestStop();
    m_bridges.clear();
}

void CStation::Look()
{
    for (auto& [identity, bridge] : m_bridges)
        bridge->m_bSeen = false;
    if (!m_bStopped)
    {
        for (const platform::CBridgePort& port : platform::ListBridgePorts())
        {
            std::unique_ptr<CBridge>& bridge = m_bridges[platform::BridgeIdentity(port)];
            // Plugged in anew between two looks: a new turn, once the old one has ended.
            if (bridge && bridge->IsReplugOf(port))
            {
                const EStationState state = bridge->Slot().m_eState;
                if (state == EStationState::Waiting || state == EStationState::Done)
                    bridge.reset();
            }
            if (!bridge)
                bridge = std::make_unique<CBridge>(port, BayOf(port), m_timing, m_listener);
            bridge->m_bSeen = true;
            if (bridge->Slot().m_eState == EStationState::Waiting &&
                ++bridge->m_nLooks > kPresenceCountTicks && (m_nTurnLimit == 0 || m_nStarted < m_nTurnLimit))
            {
                ++m_nStarted;
                bridge->StartProbe(m_image);
            }
        }
    }
    for (auto it = m_bridges.begin(); it != m_bridges.end();)
    {
        CBridge& bridge = *it->second;
        Advance(bridge);
        const EStationState state = bridge.Slot().m_eState;
        // A bridge that has left the map starts over when it comes back; one whose
        // probe or update still runs is let go once that has ended.
        if (!bridge.m_bSeen && (state == EStationState::Waiting || state == EStationState::Done))
            it = m_bridges.erase(it);
        else
            ++it;
    }
}

void CStation::Advance(CBridge& bridge)
{
    switch (bridge.Slot().m_eState)
    {
    case EStationState::Probing:
    {
        const std::optional<int> entries = bridge.m_probe.Wait(std::chrono::milliseconds(0));
        if (!entries)
            return;
        bridge.m_probe.Join();
        if (*entries <= 0 || m_bStopped)
        {
            bridge.m_updater.ClosePort();
            // A port that would not open has its text already, and gets a hint; a box
            // that did not answer is said the way the window says it.
            if (m_bStopped || bridge.m_updater.LastProbeResult() == EProbeResult::Stopped)
                bridge.SetResult(StatusText(EStatusText::StoppedBeforeStart), false, true);
            else if (bridge.m_updater.LastProbeResult() == EProbeResult::CannotOpen)
                bridge.SetHint(platform::PortAccessHint(bridge.m_updater.LastPortError(),
                                                        bridge.m_updater.LastPortErrorText()));
            else
                bridge.SetText(StatusText(EStatusText::CannotCommunicate));
            if (*entries > 0)
                bridge.SetEntry(bridge.m_updater.GetPortEntry(0), bridge.m_updater.GetPortRecord(0));
            Finish(bridge);
            return;
        }
        bridge.SetEntry(bridge.m_updater.GetPortEntry(0), bridge.m_updater.GetPortRecord(0));
        if (bridge.m_updater.StartUpdate(0) != EStartResult::Started)
        {
            Finish(bridge);
            return;
        }
        bridge.SetStarted(std::time(nullptr));
        bridge.SetState(EStationState::Updating);
        return;
    }
    case EStationState::Updating:
    {
        if (bridge.m_bMessage.exchange(false))
            bridge.m_updater.DismissMessage();
        const std::optional<CUpdateOutcome> outcome =
            bridge.m_updater.WaitForOutcome(std::chrono::milliseconds(0));
        if (!outcome)
            return;
        bridge.SetOutcome(*outcome);
        Finish(bridge);
        return;
    }
    default:
        return;
    }
}

void CStation::Finish(CBridge& bridge)
{
    bridge.SetState(EStationState::Done);
    ++m_nFinished;
    if (bridge.Slot().m_bCompleted)
        ++m_nCompleted;
    if (bridge.Slot().m_bStopped)
        ++m_nStopped;
    m_listener.OnFinished(bridge.Slot());
}

void CStation::RequestStop()
{
    m_bStopped = true;
    for (auto& [identity, bridge] : m_bridges)
        bridge->m_updater.RequestStop();
}

bool CStation::IsBusy() const
{
    for (const auto& [identity, bridge] : m_bridges)
    {
        EStationState state = bridge->Slot().m_eState;
        if (state == EStationState::Probing || state == EStationState::Updating)
            return true;
    }
    return false;
}

std::vector<CStationSlot> CStation::Slots() const
{
    std::vector<CStationSlot> slots;
    for (const auto& [identity, bridge] : m_bridges)
        slots.push_back(bridge->Slot());
    return slots;
}

std::string CStation::BayOf(const platform::CBridgePort& port) const
{
    for (const std::string* key : {&port.m_strLocation, &port.m_port.m_strName})
    {
        auto found = key->empty() ? m_bays.end() : m_bays.find(*key);
        if (found != m_bays.end())
            return found->second;
    }
    return {};
}

std::string PlaceText(const CStationSlot& slot)
{
    if (slot.m_strPlace.empty() || slot.m_strBay.empty())
        return slot.m_strPlace + slot.m_strBay;
    return slot.m_strPlace + ", " + slot.m_strBay;
}

} // namespace corvalin

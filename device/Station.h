#pragma once
// A service shop's station: it watches every CP210x bridge of the serial-port map and
// sends one image to each box plugged in, every box with an updater of its own, all at
// the same time. A bridge is known by where it is plugged (its USB location, else its
// port), never by its rank among the bridges, so boxes that come and go leave the
// others' turns alone. A bridge must be seen on as many looks in a row as the window
// waits for (device/PresenceTiming.h) before its box is probed, and each box is
// updated once per plug-in: again only after its bridge has left the map and come
// back, or was plugged in anew between two looks (its enumeration changed).
//
// Threads: the owner calls Look at its own pace (every kPresencePollMs); probes run on
// threads of their own and updates on their updaters' workers, which report through
// the listener from those threads.

#include "device/LinkTiming.h"
#include "device/Updater.h"
#include "platform/SerialPortMap.h"

#include <cstdint>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace corvalin
{

enum class EStationState
{
    Waiting,  // seen on fewer looks in a row than the rule asks
    Probing,  // asking the box for its record
    Updating, // the update runs
    Done,     // ended; waits for the bridge to leave the map
};

// What the station shows of one bridge.
struct CStationSlot
{
    std::string m_strDevice; // "\Device\Silabser3"
    std::string m_strPort;   // "ttyUSB3", "COM7", "pts/4"
    std::string m_strPlace;  // where it is plugged, "USB 1-2.3"; empty where the system does not say
    std::string m_strBay;    // the name the shop gave that place ("Bay 3"), if any
    std::string m_strEntry;  // the port list entry once probed, such as "ttyUSB3 | BOX | 00001234"
    std::string m_strText;   // its last status text
    int m_nPercent = 0;      // the update's progress
    EStationState m_eState = EStationState::Waiting;
    bool m_bCompleted = false;           // Done, and the box accepted the whole update
    bool m_bStopped = false;             // Done because the station was stopped, not by a failure
    std::string m_strHint;               // why the port would not open, and what to do (DeviceHints.h)
    CPortRecord m_record;                // the port, and the box's record once it has answered
    std::optional<double> m_dSeconds;    // the update's duration once it has ended; none without an update
    std::optional<std::time_t> m_tStart; // when the update started; none without an update
    std::optional<int> m_nFailedBlock; // the block the box refused (as it counts, from 0), for a failed XFER
};

// "USB 1-2.3, Bay 3": the slot's place and its bay's name, whichever are known.
std::string PlaceText(const CStationSlot& slot);

class IStationListener
{
  public:
    virtual ~IStationListener() = default;
    // Each status text of a bridge, in the order they were set; from any thread.
    virtual void OnText(const CStationSlot& slot, const std::string& text) = 0;
    // A box's turn has ended: its update ended (bCompleted and bStopped tell how, and
    // strText says it), or no update could start (no answer to the probe, a port that
    // would not open, a stop). From the thread that calls Look.
    virtual void OnFinished(const CStationSlot& slot) = 0;
};

class CStation
{
  public:
    // `imageFile` is the image as a file holds it (CFirmwareImage::FileBytes).
    CStation(std::vector<uint8_t> imageFile, const CLinkTiming& timing, IStationListener& listener);
    // Stops every probe and update and waits for them.
    ~CStation();
    CStation(const CStation&) = delete;
    CStation& operator=(const CStation&) = delete;

    // One look at the serial-port map: counts the looks of each bridge, starts probes
    // and updates, and ends the turns of boxes whose update has ended.
    void Look();
    // Stops every probe and update at once; later looks start nothing.
    void RequestStop();
    // Starts no more than `turns` turns in all (0: no limit), so that a station asked
    // for N updates ends once the N it started have ended.
    void SetTurnLimit(int turns) { m_nTurnLimit = turns; }
    // Names places: a bridge whose USB location (or, where the system gives none, its
    // port's name) is a key here shows that key's label.
    void SetBays(std::map<std::string, std::string> bays) { m_bays = std::move(bays); }

    // Whether a probe or an update still runs.
    bool IsBusy() const;
    // Turns ended so far, and of them those that completed, and those a stop ended.
    int Finished() const { return m_nFinished; }
    int Completed() const { return m_nCompleted; }
    int Stopped() const { return m_nStopped; }
    // Every bridge the station knows now, in the order of their places.
    std::vector<CStationSlot> Slots() const;

  private:
    class CBridge;

    void Advance(CBridge& bridge);
    void Finish(CBridge& bridge);
    std::string BayOf(const platform::CBridgePort& port) const;

    const std::vector<uint8_t> m_image;
    const CLinkTiming m_timing;
    IStationListener& m_listener;
    // Bridges by their identity (platform::BridgeIdentity); each keeps its own lock
    // for the texts its worker sets.
    std::map<std::string, std::unique_ptr<CBridge>> m_bridges;
    std::map<std::string, std::string> m_bays;
    bool m_bStopped = false;
    int m_nTurnLimit = 0;
    int m_nStarted = 0;
    int m_nFinished = 0;
    int m_nCompleted = 0;
    int m_nStopped = 0;
};

} // namespace corvalin

#pragma once
// CUpdater: what the window and the CLI call to update a box. It holds the firmware
// image, finds the box on the serial port of its USB bridge (the port list), and hands
// updates to its worker (device/UpdateWorker.h), reporting through the status line,
// the progress bar and the notices the owner attaches, and delivering each update's
// outcome once.
//
// Threads: the owner's thread calls the image operations, StartUpdate, RequestStop
// and AttachControls; FindDevice may run on any one thread of the owner's (it can
// take about 20 s with a silent box). While an update runs, loads are refused and
// discovery is skipped, so the image being sent and the port stay the worker's; the
// destructor stops and joins the worker.

#include "device/BoxPort.h"
#include "device/LinkTiming.h"
#include "device/LocalDate.h"
#include "device/PortList.h"
#include "device/UpdateOutcome.h"
#include "device/UpdateWorker.h"
#include "device/UpdaterControls.h"
#include "image/FirmwareImage.h"
#include "image/ImageHolder.h"
#include "platform/SerialPortMap.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

namespace corvalin
{

class CUpdater : public IImageHolder, private IUpdateReporter
{
  public:
    explicit CUpdater(const CLinkTiming& timing = CLinkTiming{});
    // Stops and joins the worker, closes the port. The worker may report until then:
    // destroy the updater before the controls it was given.
    ~CUpdater() override;
    CUpdater(const CUpdater&) = delete;
    CUpdater& operator=(const CUpdater&) = delete;

    // Remembers the controls (a null one is left as it was); sets the bar's range to
    // 0..100 and its position to 0, and empties the status line. `notices` receives
    // the "not compatible" message and plays the completion sound; without it the
    // message is taken as dismissed at once and the program's own chime is played.
    void AttachControls(IProgressControl* progress, IStatusControl* status,
                        IUpdateNotices* notices = nullptr);
    // The date stamp's source; the system's local date unless set. Not owned.
    void SetDateSource(const IDateSource* source) { m_worker.SetDateSource(source); }

    // Image operations of the owner's thread; 1 for an accepted image, 0 otherwise.
    // During an update a load is refused with "Wait for previous update to finish".
    int LoadImageFile(const std::filesystem::path& path) override;
    int LoadImageBuffer(const uint8_t* bytes, std::size_t length) override;
    // True once stored; the status line says how it went.
    bool StoreImageFile(const std::filesystem::path& path);

    bool IsImageHeld() const { return m_image.IsHeld(); }
    const CFirmwareImage& Image() const override { return m_image; }
    // The parameter list is edited in place here. The window must not edit it while
    // IsUpdating(); the update sends the header as it was when StartUpdate ran.
    ImageHeader& Header() { return m_image.Header(); }
    const ImageHeader& Header() const { return m_image.Header(); }

    // Discovery: looks up the first CP210x bridge in the serial-port map, asks the box
    // for its device record and fills the port list. Returns the number of entries
    // (0 or 1). Skipped while an update uses the port: the list is left as it is and
    // its size returned. May run on a thread of its own; RequestStop cuts it short.
    int FindDevice();
    // The same for the bridge `driverDevice` ("\\Device\\Silabser3"), as listed by
    // platform::ListBridgePorts: with one updater per bridge, a station serves them all.
    int FindDeviceAt(const std::string& driverDevice);
    // The same for a bridge as a look at the map saw it: its port is opened by the path
    // seen then, so that bridges that come and go meanwhile cannot move it elsewhere.
    int FindDeviceOn(const platform::CBridgePort& bridge);
    // With `hold`, a probe that lists the box keeps its port open, and the next
    // StartUpdate on that port sends over the same opening: no other program can take
    // the port between the two, so two stations on one map never update one box twice.
    // ClosePort lets it go. Off by default, as the window opens the port anew.
    void SetHoldProbedPort(bool hold) { m_bHoldProbedPort = hold; }
    // Makes the port list one entry for the port at `path`, without asking the box;
    // for the CLI's --port. Returns the number of entries (1, or 0 during an update).
    int UsePortPath(const std::string& path);
    // What the last FindDevice or FindDeviceAt found.
    EProbeResult LastProbeResult() const { return m_nLastProbe.load(); }
    // Display text of list entry `index`, or "Wrong index".
    std::string GetPortEntry(int index) const;
    // The port and box record of list entry `index`; an empty port for a wrong index.
    CPortRecord GetPortRecord(int index) const;

    // Starts the worker's thread (idempotent); StartUpdate starts it too.
    void StartThread() { m_worker.StartThread(); }
    // Starts an update on port list entry `index`: checks the image, the list and the
    // state, opens the port and hands the update to the worker. A refusal is said on
    // the status line (none for a stopped updater) and returned; while FindDevice
    // holds the port the start is CannotOpen.
    EStartResult StartUpdate(int index);
    // Asks the worker to end its loop; it also ends the message wait, the sound, an
    // exchange in progress and a probe. The worker then does no further work; an
    // update under way ends with a stopped outcome.
    void RequestStop() { m_worker.RequestStop(); }
    bool IsStopRequested() const { return m_worker.IsStopRequested(); }
    // Fast transfer (see CLinkTiming::m_bFastTransfer) for the updates started from now
    // on; the update under way keeps its rule. Discovery never uses it.
    void SetFastTransfer(bool fast) { m_bFastChoice.store(fast); }
    bool IsFastTransfer() const { return m_bFastChoice.load(); }
    // The owner's answer to IUpdateNotices::ShowMessage: the user closed the box.
    void DismissMessage() { m_worker.DismissMessage(); }

    // Blocks until the update StartUpdate last began has ended, or `timeout` passed;
    // its outcome, or none yet.
    std::optional<CUpdateOutcome> WaitForOutcome(std::chrono::milliseconds timeout);

    // True from StartUpdate's hand-over until the worker has closed the port at the
    // end of the update.
    bool IsUpdating() const { return m_worker.IsUpdating(); }
    EUpdateState State() const { return m_worker.State(); }
    // Whether the worker's thread is still inside its loop.
    bool IsWorkerRunning() const { return m_worker.IsRunning(); }
    // The next block the update sends.
    int Block() const { return m_worker.Block(); }

    void SetStatus(const std::string& text) override;

    // --- The port (the station and the tests open and close it themselves). ---
    int OpenPort() { return m_port.Open() ? 1 : 0; }
    void ClosePort() { m_port.Close(); }
    bool IsPortOpen() const { return m_port.IsOpen(); }
    // Why the last opening failed.
    platform::ESerialError LastPortError() const { return m_port.LastError(); }
    const std::string& LastPortErrorText() const { return m_port.LastErrorText(); }

  private:
    // IUpdateReporter: the worker's reports, on its thread.
    void SetProgress(int position) override;
    void SetBarColor(uint32_t color) override;
    bool ShowMessage(const std::string& text) override;
    void PlayCompletionSound(const std::atomic<bool>& stop) override;
    void OnPortClosed() override;
    void OnUpdateEnded(const CUpdateOutcome& outcome) override;

    StatusFn StatusWriter();
    bool RefuseDuringUpdate();
    // QUERY on the open port, with one reopen and retry; the record, or none.
    std::optional<CDeviceRecord> AskForRecord();
    // Records what the probe found; the number of list entries.
    int EndProbe(EProbeResult result);
    // Asks the box on the mapped port and lists it under `driverDevice`.
    int ProbePort(const std::string& driverDevice, const std::optional<platform::CMappedPort>& mapped);

    const CLinkTiming m_timing;
    bool m_bHoldProbedPort = false;
    CFirmwareImage m_image;

    std::atomic<IProgressControl*> m_pProgress{nullptr};
    std::atomic<IStatusControl*> m_pStatus{nullptr};
    std::atomic<IUpdateNotices*> m_pNotices{nullptr};

    // Who uses the port: discovery or an update (m_nPortUser).
    CBoxPort m_port;
    CPortList m_ports;
    std::atomic<int> m_nPortUser{0};
    std::atomic<bool> m_bFastChoice{false};
    std::atomic<EProbeResult> m_nLastProbe{EProbeResult::NoBridge};

    mutable std::mutex m_outcomeMutex;
    std::condition_variable m_outcomeReady;
    std::optional<CUpdateOutcome> m_lastOutcome;
    bool m_bOutcomePending = false;

    // Last, so that it is stopped and joined before the rest goes.
    CUpdateWorker m_worker;
};

} // namespace corvalin

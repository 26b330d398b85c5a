#pragma once
// CUpdater: the update worker object. It holds the firmware image, finds the box on
// the serial port of its USB bridge, and runs an update on its own thread: INIT (with
// boot loader restarts and retries), one XFER per block, PREP, CLOSE. It reports
// through the status line, the progress bar and the notices the owner attaches.
//
// Threads: the owner's thread calls the image operations, StartUpdate, RequestStop
// and AttachControls; FindDevice may run on any one thread of the owner's (it can
// take about 20 s with a silent box). The worker's thread runs the update. While an
// update runs, loads are refused and discovery is skipped, so the image being sent
// and the port stay the worker's; the destructor stops and joins the thread.

#include "device/LinkTiming.h"
#include "device/LocalDate.h"
#include "device/UpdaterControls.h"
#include "image/FirmwareImage.h"
#include "platform/SerialPort.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace corvalin
{

// Update states (m_nState).
enum UpdateState : int
{
    kStateIdle = 0,
    kStateInit = 1,
    kStateXfer = 2,
    kStatePrep = 3,
    kStateClose = 4,
};

// Results of one boot loader exchange; they appear in texts such as "XFER Failed: %d".
enum ExchangeResult : int
{
    kExchangeOk = 0,
    kExchangeShortWrite = 1,  // the frame was not written whole
    kExchangeNoReply = 2,     // the last read brought no byte
    kExchangeBadStart = 3,    // the reply does not start with AA 55
    kExchangeBadCode = 4,     // the reply code is not the expected one
    kExchangeBadStatus = 5,   // the reply status is not 0
};

// What the port list knows of one entry: the port's name ("ttyUSB3", "COM7", or the
// path given to UsePortPath) and, when the box answered QUERY, its record's name as
// the list shows it ("Empty" for a box never configured) and its number.
struct CPortRecord
{
    std::string strPort;
    bool bRecord = false;
    std::string strName;
    int32_t nNumber = 0;
};

class CUpdater
{
public:
    explicit CUpdater(const CLinkTiming& timing = CLinkTiming{});
    // Requests the stop, ends any wait of the worker, joins its thread, closes the port.
    // The worker may report until then: destroy it before the controls it was given.
    ~CUpdater();
    CUpdater(const CUpdater&) = delete;
    CUpdater& operator=(const CUpdater&) = delete;

    // Remembers the controls (a null one is left as it was); sets the bar's range to
    // 0..100 and its position to 0, and empties the status line. `notices` receives
    // the "not compatible" message and plays the completion sound; without it the
    // message is taken as dismissed at once and the program's own chime is played.
    void AttachControls(IProgressControl* progress, IStatusControl* status,
                        IUpdateNotices* notices = nullptr);
    // The date stamp's source; the system's local date unless set. Not owned.
    void SetDateSource(const IDateSource* source);

    // Image operations of the owner's thread; 1 for an accepted image, 0 otherwise.
    // During an update a load is refused with "Wait for previous update to finish".
    int LoadImageFile(const std::filesystem::path& path);
    int LoadImageBuffer(const uint8_t* bytes, std::size_t length);
    void StoreImageFile(const std::filesystem::path& path);

    bool IsImageHeld() const { return m_image.IsHeld(); }
    const CFirmwareImage& Image() const { return m_image; }
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
    // With `hold`, a probe that lists the box keeps its port open, and the next
    // StartUpdate on that port sends over the same opening: no other program can take
    // the port between the two, so two stations on one map never update one box twice.
    // ClosePort lets it go. Off by default, as the window opens the port anew.
    void SetHoldProbedPort(bool hold) { m_bHoldProbedPort = hold; }
    // Makes the port list one entry for the port at `path`, without asking the box;
    // for the CLI's --port. Returns the number of entries (1, or 0 during an update).
    int UsePortPath(const std::string& path);
    // Display text of list entry `index`, or "Wrong index".
    std::string GetPortEntry(int index) const;
    // The port and box record of list entry `index`; an empty port for a wrong index.
    CPortRecord GetPortRecord(int index) const;

    // Starts the worker's thread (idempotent); StartUpdate starts it too.
    void StartThread();
    // Starts an update on port list entry `index`: checks the image, the list and the
    // state, opens the port and hands the update to the worker. While FindDevice holds
    // the port the start fails with "Unable to open the device".
    void StartUpdate(int index);
    // Asks the worker to end its loop; it also ends the message wait, the sound, an
    // exchange in progress and a probe. The worker then does no further work.
    void RequestStop();
    bool IsStopRequested() const { return m_bStop.load(); }
    // Fast transfer (see CLinkTiming::bFastTransfer) for the updates started from now
    // on; the update under way keeps its rule. Discovery never uses it.
    void SetFastTransfer(bool fast);
    bool IsFastTransfer() const { return m_bFastChoice.load(); }
    // The owner's answer to IUpdateNotices::ShowMessage: the user closed the box.
    void DismissMessage();

    // True from StartUpdate's hand-over until the worker has closed the port at the
    // end of the update.
    bool IsUpdating() const { return m_nState.load() != kStateIdle; }
    int State() const { return m_nState.load(); }
    // Whether the worker's thread is still inside its loop.
    bool IsWorkerRunning() const { return m_bRunning.load(); }
    // Seconds from the hand-over of the last update StartUpdate began to its end;
    // 0 before that update has ended.
    double LastUpdateSeconds() const;

    void SetStatus(const std::string& text);

    // --- Device link, used by discovery and the worker (public for tests). ---
    int OpenPort();
    void ClosePort();
    bool IsPortOpen() const { return m_port.IsOpen(); }
    // Why the last OpenPort failed.
    platform::SerialError LastPortError() const { return m_port.LastError(); }
    const std::string& LastPortErrorText() const { return m_port.LastErrorText(); }
    // Reads under the port's time-outs; with `endAtFrame` also ends at a whole frame.
    int ReadPort(uint8_t* buffer, std::size_t maximum, std::size_t& count, bool endAtFrame = false);
    int WritePort(const uint8_t* buffer, std::size_t length, std::size_t& count);

    // --- Boot loader exchanges (worker's thread, port open). ---
    int SendInit();
    int SendBlock();
    int SendPrep();
    int SendClose();
    int Block() const { return m_nBlock.load(); }

    // The 520-byte configuration record PREP carries, with the date stamp.
    static std::vector<uint8_t> BuildConfigRecord(const ImageHeader& header, uint32_t bcdDate);

private:
    StatusFn StatusWriter();
    void SetProgress(int position);
    void SetBarColor(uint32_t color);
    bool RefuseDuringUpdate();
    // What INIT and PREP send: the update's own copy while one runs.
    const ImageHeader& SendHeader() const { return IsUpdating() ? m_sendHeader : m_image.Header(); }

    int Exchange(std::vector<uint8_t>& frame, uint8_t expectedReply);
    void Run();
    void StepInit();
    void StepXfer();
    void StepPrep();
    void StepClose();
    void FailUpdate(const std::string& text);
    void EndUpdate();
    // Sleeps, waking early on a stop request; false when stopped.
    bool Pause(int milliseconds);
    void WaitForDismissal();

    CLinkTiming m_timing;
    bool m_bHoldProbedPort = false;
    CFirmwareImage m_image;
    // The header as StartUpdate found it: what INIT and PREP send.
    ImageHeader m_sendHeader{};

    std::atomic<IProgressControl*> m_pProgress{nullptr};
    std::atomic<IStatusControl*> m_pStatus{nullptr};
    std::atomic<IUpdateNotices*> m_pNotices{nullptr};
    CSystemDateSource m_systemDate;
    const IDateSource* m_pDateSource = &m_systemDate;

    // Port and port list. m_nPortUser tells who uses the port: discovery or update.
    platform::CSerialPort m_port;
    int m_nPort = 1;
    std::string m_strPortPath;
    mutable std::mutex m_listMutex;
    std::vector<std::string> m_portNames;
    std::vector<int> m_portNumbers;
    std::vector<std::string> m_portPaths;
    std::vector<CPortRecord> m_portRecords;
    std::atomic<int> m_nPortUser{0};

    // Words shared with the worker's thread.
    std::atomic<int> m_nState{kStateIdle};
    std::atomic<bool> m_bStop{false};
    std::atomic<int> m_nBlock{0};
    std::atomic<bool> m_bRunning{false};
    // Steady-clock times, in nanoseconds, of the last update's start and end.
    std::atomic<int64_t> m_nStartNs{0};
    std::atomic<int64_t> m_nEndNs{0};
    std::atomic<bool> m_bMessageOpen{false};
    // Fast transfer as chosen, and as the exchanges use it now: an update takes the
    // choice at its start and drops it when a reply shows that the box sends late bytes.
    std::atomic<bool> m_bFastChoice{false};
    std::atomic<bool> m_bFastReads{false};
    int m_nInitRetries = 0;

    std::mutex m_wakeMutex;
    std::condition_variable m_wake;
    std::thread m_thread;
};

} // namespace corvalin

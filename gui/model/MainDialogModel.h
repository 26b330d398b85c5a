#pragma once
// The main window without a toolkit: the presence polling, the probe, the bundle and
// product choice, parameter editing, storing, the update and closing. It owns the
// update worker and talks to the window only through IMainDialogView; the view
// forwards every user action and timer tick to the handlers here.
//
// Threads: the handlers run on the window's thread (the thread that built the model).
// The probe runs on a thread of its own and the update on the worker's; what they
// report reaches the view on the window's thread, in the order it was set.

#include "device/BoxProbe.h"
#include "device/LinkTiming.h"
#include "device/UpdateRecord.h"
#include "device/Updater.h"
#include "device/UpdaterControls.h"
#include "gui/model/FolderMemory.h"
#include "gui/model/JobQueue.h"
#include "gui/model/MainDialogLayout.h"
#include "gui/model/MainDialogView.h"
#include "gui/model/WindowTiming.h"
#include "image/BundleLoader.h"
#include "params/ParameterTable.h"
#include "platform/DeviceHints.h"

#include <ctime>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace corvalin
{

// "QUILTA Corvalin    " and the build date as __DATE__ writes it ("May  6 2011").
std::string MainWindowTitle(const char* buildDate);

// Asked before the window closes while an update runs, since closing stops it.
inline constexpr const char* kCloseDuringUpdateQuestion =
    "An update is running. If it is stopped now, the box stays in its boot loader until it "
    "is updated again.\n\nStop the update and close?";

class CMainDialogModel : private IStatusControl, private IProgressControl, private IUpdateNotices
{
  public:
    explicit CMainDialogModel(IMainDialogView& view, const CWindowTiming& timing = CWindowTiming{},
                              const CLinkTiming& linkTiming = CLinkTiming{});
    // Stops the worker and the probe and waits for both.
    ~CMainDialogModel() override;
    CMainDialogModel(const CMainDialogModel&) = delete;
    CMainDialogModel& operator=(const CMainDialogModel&) = delete;

    // Keeps the file dialogs' folders in `store` from now on, so they outlive the run;
    // `store` must outlive the model.
    void KeepFoldersIn(IFolderStore& store) { m_folders = CFolderMemory(&store); }

    // The window's set-up, once its controls exist: starts the worker and the timer,
    // empties and disables the product list, sets the title.
    void OnInitDialog();

    // Presence polling: looks for the box's USB bridge in the serial-port map and
    // probes the box on the seventh tick in a row that sees it.
    void OnTimer();
    // "...": asks for a file and opens it as a bundle or an image.
    void OpenBundleOrImage();
    // Opens `path` as "..." does once the file is chosen: a file named on the command line.
    void OpenFile(const std::filesystem::path& path);
    // Files dropped on the window: one file opens as with "..."; anything else is
    // refused (DroppedFileToOpen), with nothing changed.
    void OnDrop(const std::vector<std::filesystem::path>& dropped);
    // Entry `index` of the product list was chosen.
    void SelectProduct(int index);
    // Double-click on line `row` of the parameter list.
    void ChangeParameter(int row);
    // "Wr": asks for a file and stores the image there.
    void StoreImage();
    // "Save settings...": asks for a file and stores the held image's parameters there
    // as a settings document.
    void SaveSettings();
    // "Load settings...": asks for a settings document and applies it to the held
    // image, matched by parameter identifier; the user then stores or updates as ever.
    void LoadSettings();
    // "Keep an update record...": asks for a file; from then on, until the window
    // closes, every update that ends appends its record line there. A cancelled
    // dialog leaves the record as it was; a file that cannot be written is refused.
    void KeepUpdateRecord();
    bool IsKeepingUpdateRecord() const { return m_recordFile.has_value(); }
    // "Update": the first device found.
    void OnUpdate();
    // The user closed the box opened with OpenNotice; the next waiting notice opens.
    void OnNoticeClosed();
    // The context menu as it shows now, with line `selectedRow` of the parameter list
    // selected (-1 for none).
    std::vector<CMenuEntry> ContextMenu(int selectedRow = -1) const;
    // An entry of the context menu was chosen, with that line selected.
    void OnMenuCommand(EMenuCommand command, int selectedRow = -1);
    // The About box, unless it is already showing: a second F1, or one from inside the
    // box, opens no box over it.
    void ShowAbout();
    // Every way of closing the window asks this first. While an update runs the user is
    // asked whether to stop it; false keeps the window open and the update going.
    bool CanClose();
    // Every way of closing the window: the timer stops and the worker is asked to stop.
    void OnClose();
    // "Fast transfer", held until the window closes.
    void SetFastTransfer(bool fast) { m_updater.SetFastTransfer(fast); }
    bool IsFastTransfer() const { return m_updater.IsFastTransfer(); }

    // Where the Linux scan for a plugged-in bridge without a port looks; tests hand it
    // a tree of their own.
    void SetSysfsRoot(const std::filesystem::path& root) { m_sysfsRoot = root; }

    // Enables "Update" only while the box is connected and an image is loaded.
    void RefreshUpdateButton();

    CUpdater& Updater() { return m_updater; }
    bool IsConnected() const { return m_bConnected != 0; }
    bool IsImageLoaded() const { return m_bImageLoaded != 0; }
    bool IsProbing() const { return m_bProbing; }

  private:
    // IStatusControl, IProgressControl, IUpdateNotices: the worker's reports, from any thread.
    void SetText(const std::string& text) override;
    void SetRange(int minimum, int maximum) override;
    void SetPos(int position) override;
    void SetBarColor(uint32_t color) override;
    void ShowMessage(const std::string& text) override;
    void PlayCompletionSound(const std::atomic<bool>& stop) override;

    // The jobs waiting for the window's thread. The view's calls hold it weakly, so a
    // call that comes after the model has gone finds nothing to run.
    // Runs `job` on the window's thread after every job posted before it: at once on
    // that thread, else later through the view.
    void Post(std::function<void()> job);

    void RebuildParameterList();
    // The file dialog for `kind`, opening in the folder of the last such file.
    CFileDialog FileDialog(EFileKind kind) const;
    void RememberFolder(EFileKind kind, const std::filesystem::path& file);
    // Opens a chosen file as a bundle or an image, the code selection included.
    void OpenChosenFile(const std::filesystem::path& path);
    // True, with the status text set, while an update owns the image and the port.
    bool RefuseDuringUpdate();
    void StartProbe();
    void OnProbeDone(int generation, int entries, const std::string& entry);
    void JoinProbe();
    // Hands the view `hint` when it differs from the one shown.
    void ShowDeviceHint(const std::string& hint);
    // Appends the record of the update that was started with a record kept, once the
    // worker has ended it; with `sayFailure`, a failed write is told on the status line.
    void RecordEndedUpdate(bool sayFailure = true);

    IMainDialogView& m_view;
    CWindowTiming m_timing;
    const std::thread::id m_uiThread;
    std::shared_ptr<CJobQueue> m_pPosted = std::make_shared<CJobQueue>();
    // The bar's range as last set; positions are kept inside it.
    int m_nProgressMin = 0;
    int m_nProgressMax = 100;

    // Reports through this object until its destructor has joined the worker.
    CUpdater m_updater;

    CParameterTable m_table;
    std::vector<int> m_slots;
    int m_bConnected = 0;
    int m_bImageLoaded = 0;
    int m_nPresenceTicks = 0;

    // The device field's hint as shown, and the ticks without a bridge since the last
    // look for one held back by the system.
    std::string m_strDeviceHint;
    int m_nNoBridgeTicks = 0;
    std::filesystem::path m_sysfsRoot = platform::kSysfsRoot;

    // The probe in flight. A result whose generation is not the current one belongs
    // to a bridge that was pulled out meanwhile and is dropped.
    CBoxProbe m_probe{m_updater};
    bool m_bProbing = false;
    int m_nProbeGeneration = 0;

    // The product list as shown, the entry shown before a choice that an update
    // refused, and the bundle the list came from (empty when it shows none).
    std::vector<CBundleProduct> m_products;
    int m_nProductIndex = -1;
    std::filesystem::path m_bundlePath;
    // The file last opened: the bundle, or the bare image.
    std::filesystem::path m_sourcePath;
    // The folder of the last file of each kind, for as long as the window lives.
    CFolderMemory m_folders;

    // The update record's file, once chosen; the image fields and port of the update
    // under way while it waits for its end.
    std::optional<std::filesystem::path> m_recordFile;
    std::optional<CUpdateRecord> m_pendingRecord;
    CPortRecord m_pendingPort;
    std::time_t m_tPendingStart = 0;

    bool m_bAboutShowing = false;

    // The worker's notices not yet closed, the open one first; the view shows one at
    // a time, so a second waits for the first to be closed.
    std::deque<std::string> m_notices;
};

} // namespace corvalin

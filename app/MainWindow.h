#pragma once
// The main window: one modal dialog from which the installer opens a bundle or image,
// picks a product, edits the parameters, stores the image and updates the box. It
// owns the update worker; it only presents and forwards, the rules live in the core.

#include "app/UiDispatcher.h"
#include "app/WindowControls.h"
#include "app/WindowNotices.h"
#include "app/WindowTiming.h"
#include "device/LinkTiming.h"
#include "device/Updater.h"
#include "params/DisplayList.h"
#include "params/ParameterTable.h"

#include <QDialog>
#include <QString>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace corvalin
{

// "QUILTA Corvalin    " and the build date as __DATE__ writes it ("May  6 2011").
QString MainWindowTitle(const char* buildDate);

class CMainWindow : public QDialog
{
    Q_OBJECT

public:
    // Asks for a file to open or to save to; an empty text means the user cancelled.
    using FileChooser = std::function<QString(QWidget* parent)>;

    explicit CMainWindow(const CWindowTiming& timing = CWindowTiming{},
                         const CLinkTiming& linkTiming = CLinkTiming{}, QWidget* parent = nullptr);
    ~CMainWindow() override;

    // Replaces the file dialogs, for tests and scripted runs.
    void SetFileChoosers(FileChooser chooseOpen, FileChooser chooseSave);

    CUpdater& Updater() { return m_updater; }
    bool IsConnected() const { return m_bConnected != 0; }
    bool IsImageLoaded() const { return m_bImageLoaded != 0; }
    bool IsProbing() const { return m_bProbing; }
    CQtStatusControl& StatusControl() { return m_statusControl; }
    CQtProgressControl& ProgressControl() { return m_progressControl; }
    CQtUpdateNotices& Notices() { return m_notices; }

    // Handlers of the window's controls and its timer.
    void OpenBundleOrImage();
    void SelectProduct();
    void ChangeParameter();
    void StoreImage();
    void OnUpdate();
    void ShowAbout();
    // Presence polling: looks for the box's USB bridge in the serial-port map.
    void OnTimer();
    // Enables "Update" only while the box is connected and an image is loaded.
    void RefreshUpdateButton();

    // Every way of closing ends here.
    void done(int result) override;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void BuildControls();
    void OnInitDialog();
    void RebuildParameterList();
    // True, with the status text set, while an update owns the image and the port.
    bool RefuseDuringUpdate();
    // Probes the box on its own thread; the window's thread never waits on the line.
    void StartProbe();
    void OnProbeDone(int generation, int entries, const std::string& entry);
    void JoinProbe();

    CWindowTiming m_timing;
    FileChooser m_chooseOpen;
    FileChooser m_chooseSave;

    // Controls, owned by the dialog as their parent.
    QLineEdit* m_pBundlePath = nullptr;  // 1007
    QPushButton* m_pBrowse = nullptr;    // 1008
    QComboBox* m_pProduct = nullptr;     // 1023
    QLineEdit* m_pDevice = nullptr;      // 1002
    QPushButton* m_pStore = nullptr;     // 1012
    QLabel* m_pStatus = nullptr;         // 1009
    QProgressBar* m_pProgress = nullptr; // 1004
    QGroupBox* m_pGroup = nullptr;       // 1010
    QListWidget* m_pParameters = nullptr;// 1011
    QPushButton* m_pUpdate = nullptr;    // 1001
    QPushButton* m_pClose = nullptr;     // 1 (OK)
    QAction* m_pFastTransfer = nullptr;  // context menu, checkable

    // The worker writes into these from its thread; they must outlive the worker,
    // so they are declared before it.
    CUiDispatcher m_dispatcher;
    CQtStatusControl m_statusControl;
    CQtProgressControl m_progressControl;
    CQtUpdateNotices m_notices;
    CUpdater m_updater;

    CParameterTable m_table;
    std::vector<int> m_slots;
    int m_bConnected = 0;
    int m_bImageLoaded = 0;
    int m_nPresenceTicks = 0;
    QTimer m_timer;

    // The probe in flight. A result whose generation is not the current one belongs
    // to a bridge that was pulled out meanwhile and is dropped.
    std::thread m_probeThread;
    bool m_bProbing = false;
    int m_nProbeGeneration = 0;
    // The product shown before a selection that an update refused.
    int m_nProductIndex = -1;
    // The bundle whose products the list shows; empty when it shows none.
    std::filesystem::path m_bundlePath;
};

} // namespace corvalin

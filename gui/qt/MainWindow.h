#pragma once
// The main window in Qt: one modal dialog from which the installer opens a bundle or
// image, picks a product, edits the parameters, stores the image and updates the box.
// It builds the controls and shows what its model asks; the behaviour is the model's.

#include "gui/model/MainDialogLayout.h"
#include "gui/model/MainDialogModel.h"
#include "gui/model/MainDialogView.h"
#include "gui/qt/DialogUnits.h"
#include "gui/qt/SettingsFolderStore.h"

#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QComboBox;
class QListWidget;
class QProgressBar;
class QStyle;

namespace corvalin
{

// The bar colour value red + 256 * green + 65536 * blue as a Qt colour.
QColor BarColorToQColor(uint32_t color);

class CMainWindow : public QDialog, private IMainDialogView
{
    Q_OBJECT

  public:
    // Asks for a file to open or to save to, as `dialog` describes; an empty text means
    // the user cancelled.
    using FileChooser = std::function<QString(QWidget* parent, const CFileDialog& dialog)>;

    explicit CMainWindow(const CWindowTiming& timing = CWindowTiming{},
                         const CLinkTiming& linkTiming = CLinkTiming{}, QWidget* parent = nullptr);
    ~CMainWindow() override;

    // Replaces the file dialogs, for tests and scripted runs.
    void SetFileChoosers(FileChooser chooseOpen, FileChooser chooseSave);

    CMainDialogModel& Model() { return *m_pModel; }
    CUpdater& Updater() { return m_pModel->Updater(); }
    // The box of the worker's notice while it is open, else null.
    QMessageBox* OpenNoticeBox() const { return m_pNotice; }

    void ShowAbout() override;

    // Every way of closing ends here.
    void done(int result) override;

  signals:
    // Each text as it reaches the status line, for whoever follows the sequence.
    void StatusShown(const QString& text);

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    // The window's keys, from whichever of its controls holds the focus.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // A file dragged onto the window opens as with "...".
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    void BuildControls();
    // A control of the window's description, placed in dialog units of `units`.
    QWidget* NewControl(const CControlDescription& description, const CBaseUnits& units);
    QWidget* ControlOf(EMainControl control) const;
    // The control holding the focus, if it is one of the window's.
    std::optional<EMainControl> FocusedControl() const;
    // Carries out what the window's rules make of the key; false when it is not theirs.
    bool HandleKey(QKeyEvent* event);
    int SelectedParameterRow() const;
    // The control as the widget class its kind is built with.
    template <class T> T* Control(EMainControl control) const { return qobject_cast<T*>(ControlOf(control)); }

    // IMainDialogView
    void SetTitle(const std::string& text) override;
    void SetText(EMainControl control, const std::string& text) override;
    void SetDeviceHint(const std::string& text) override;
    void EnableControl(EMainControl control, bool enabled) override;
    void FillList(EMainControl control, const std::vector<std::string>& lines) override;
    void SelectEntry(EMainControl control, int index) override;
    void SetProgressRange(int minimum, int maximum) override;
    void SetProgressPos(int position) override;
    void SetProgressColor(uint32_t color) override;
    void StartTimer(int periodMs) override;
    void StopTimer() override;
    std::optional<std::filesystem::path> ChooseOpenFile(const CFileDialog& dialog) override;
    std::optional<std::filesystem::path> ChooseSaveFile(const CFileDialog& dialog) override;
    void ShowMessage(const std::string& text, EMessageIcon icon) override;
    void OpenNotice(const std::string& text, EMessageIcon icon) override;
    bool AskYesNo(const std::string& text) override;
    bool RunValueEntry(CValueEntry& entry) override;
    CIrDialogOutcome RunCodeSelection() override;
    void PostToUiThread(std::function<void()> job) override;

    FileChooser m_chooseOpen;
    FileChooser m_chooseSave;

    // The controls in the order of kMainDialogControls, owned by the dialog as their
    // parent, and the context menu's actions by command, owned by the dialog too.
    std::array<QWidget*, kMainDialogControls.size()> m_controls{};
    std::array<QAction*, kMenuCommandCount> m_menuActions{};
    QPointer<QMessageBox> m_pNotice;
    // Platform styles may paint the bar in their own colour; this one uses the palette.
    std::unique_ptr<QStyle> m_pBarStyle;
    QTimer m_timer;

    // Outlives the model, which keeps its folders here.
    CSettingsFolderStore m_folderStore;
    // Last, so it goes first: its destructor stops and joins the worker and the
    // probe while the controls still exist.
    std::unique_ptr<CMainDialogModel> m_pModel;
};

} // namespace corvalin

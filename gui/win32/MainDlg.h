#pragma once
// The main window shown from its template, as the view of CMainDialogModel: it carries
// out what the model asks and forwards the user's actions, the presence timer and the
// worker's reports to it. It ends with IDOK ("Close", or Enter) or IDCANCEL (Escape,
// the close box); every way of ending asks the worker to stop first.
//
// The model lives from the window's set-up to its destruction; the worker and the
// probe are joined then, so nothing posts to the window after it is gone.

#include "gui/model/MainDialogModel.h"
#include "gui/model/MainDialogView.h"
#include "gui/win32/DialogWindow.h"
#include "gui/win32/RegistryFolderStore.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace corvalin::win32
{

class CMainDlg : public CDialogWindow, private IMainDialogView
{
  public:
    // Asks for a file to open or to store to, as `dialog` describes; an empty text means
    // the user cancelled.
    using FileChooser = std::function<std::wstring(HWND owner, const CFileDialog& dialog)>;

    explicit CMainDlg(const CWindowTiming& timing = CWindowTiming{},
                      const CLinkTiming& linkTiming = CLinkTiming{});
    ~CMainDlg() override;

    // Replaces the file dialogs, for tests and scripted runs.
    void SetFileChoosers(FileChooser chooseOpen, FileChooser chooseSave);

    // The model while the window exists, else null.
    CMainDialogModel* Model() { return m_pModel.get(); }

    // Opens `file` once the window runs, as if chosen with "..."; before Create or
    // DoModal. For the file named on the command line.
    void OpenAtStart(std::filesystem::path file) { m_openAtStart = std::move(file); }

  protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    bool PreTranslateMessage(MSG& msg) override;
    void OnAboutRequest() override;

  private:
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
    void ShowAbout() override;
    bool RunValueEntry(CValueEntry& entry) override;
    CIrDialogOutcome RunCodeSelection() override;
    void PostToUiThread(std::function<void()> job) override;

    // The template's control ids are the model's, as MainDlg.cpp asserts.
    HWND ControlOf(EMainControl control) const { return Item(int(control)); }
    void ShowContextMenu(LPARAM screenPoint);
    // Shows `text` as the control's tooltip; "" shows none.
    void SetToolTip(HWND control, const std::string& text);
    // Files dropped from the shell: the drop's handle, released here.
    void OnDropFiles(HDROP drop);
    int SelectedParameterRow() const;
    // Stops the worker and the probe and drops what they posted that has not run.
    void DropModel();

    CWindowTiming m_timing;
    CLinkTiming m_linkTiming;
    FileChooser m_chooseOpen;
    FileChooser m_chooseSave;
    std::optional<std::filesystem::path> m_openAtStart;
    // The tooltips of the device field and the status line, made with the first text
    // either gets; it goes with the window.
    HWND m_hToolTips = nullptr;
    std::vector<HWND> m_toolControls;
    // Outlives the model, which keeps its folders here.
    CRegistryFolderStore m_folderStore;
    std::unique_ptr<CMainDialogModel> m_pModel;
};

} // namespace corvalin::win32

#pragma once
// What the main window's model asks of a window, whatever the toolkit. A view builds
// the controls, forwards the user's actions to CMainDialogModel and carries out these
// calls; it holds no rules. Every call but PostToUiThread comes on the window's
// thread. Texts are UTF-8; the model has already made them what the control shows.

#include "params/IrCodeHandOff.h"
#include "params/ParameterEdit.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace corvalin
{

// The main window's controls, by their dialog template ids.
enum class EMainControl
{
    Close = 1,         // default button "Close"
    Update = 1001,     // button "Update"
    Device = 1002,     // device edit box
    Progress = 1004,   // progress bar
    BundlePath = 1007, // read-only edit box with the last opened or stored path
    Browse = 1008,     // button "..."
    Status = 1009,     // status line
    Group = 1010,      // group box "Doubleclick parameters to change"
    Parameters = 1011, // parameter list box
    Store = 1012,      // button "Wr"
    Product = 1023,    // product drop-down list
};

// The files the window asks for; each kind has its filters and its own remembered folder.
enum class EFileKind
{
    BundleOrImage, // "..." and a file dropped on the window or named on the command line
    StoredImage,   // "Wr"
    Settings,      // "Save settings..." and "Load settings..."
    UpdateRecord,  // "Keep an update record...", which appends to a file that exists
    ProntoCodes,   // the code selection dialog's source file
};

// One entry of a file dialog's type list: "Firmware images" with "*.bin *.img".
struct CFileFilter
{
    const char* m_pName = "";
    // Blank-separated patterns; "*" matches every file.
    const char* m_pPatterns = "*";
};

// What a file dialog offers.
struct CFileDialog
{
    EFileKind m_eKind = EFileKind::BundleOrImage;
    // The first filter is the one shown at first.
    std::vector<CFileFilter> m_filters;
    // Where the dialog opens; empty leaves it to the toolkit.
    std::filesystem::path m_folder;
    // A save dialog asks before it names a file that exists.
    bool m_bConfirmReplace = false;
    // The extension a save dialog adds to a name typed without one; "" adds none.
    const char* m_pDefaultExtension = "";
};

// The icon of a message box: what kind of news it brings.
enum class EMessageIcon
{
    Information,
    Warning,
    Error,
};

class IMainDialogView
{
  public:
    virtual ~IMainDialogView() = default;

    // Sets the window's caption.
    virtual void SetTitle(const std::string& text) = 0;
    // Sets the text of an edit box or static text (BundlePath, Device, Status).
    virtual void SetText(EMainControl control, const std::string& text) = 0;
    // What may keep the box from the window and what to do, shown beside the device
    // field (as its tooltip) without changing its text; "" shows none.
    virtual void SetDeviceHint(const std::string& text) = 0;
    // Enables or disables a control (Update, Product).
    virtual void EnableControl(EMainControl control, bool enabled) = 0;
    // Replaces the lines of a list (Parameters) or drop-down list (Product) in this
    // order; the view must not sort them. A drop-down list shows no entry afterwards;
    // a list box keeps its selected row and scroll position where they still exist.
    virtual void FillList(EMainControl control, const std::vector<std::string>& lines) = 0;
    // Shows entry `index` of a drop-down list as chosen; -1 shows none.
    virtual void SelectEntry(EMainControl control, int index) = 0;

    // The progress bar: its range, its position (within the range) and the colour of
    // its filled part as red + 256 * green + 65536 * blue.
    virtual void SetProgressRange(int minimum, int maximum) = 0;
    virtual void SetProgressPos(int position) = 0;
    virtual void SetProgressColor(uint32_t color) = 0;

    // Starts the presence timer: from now on the view calls OnTimer every `periodMs`.
    virtual void StartTimer(int periodMs) = 0;
    // Stops it; no OnTimer follows.
    virtual void StopTimer() = 0;

    // The file dialogs as `dialog` describes them; nothing when the user cancelled.
    virtual std::optional<std::filesystem::path> ChooseOpenFile(const CFileDialog& dialog) = 0;
    virtual std::optional<std::filesystem::path> ChooseSaveFile(const CFileDialog& dialog) = 0;

    // A message box with the application's name as caption, `icon` and one OK button,
    // shown modally: returns when the user closed it.
    virtual void ShowMessage(const std::string& text, EMessageIcon icon) = 0;
    // The same box, opened without waiting: the view returns at once and calls
    // CMainDialogModel::OnNoticeClosed when the user closes it. The model opens one
    // at a time; the next only after that call.
    virtual void OpenNotice(const std::string& text, EMessageIcon icon) = 0;
    // A question with the application's name as caption, a warning icon and the
    // buttons Yes and No, No being the default; shown modally. True for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
    // The About box, shown modally.
    virtual void ShowAbout() = 0;

    // Runs the value entry dialog modally on `entry` (prepared by the core); on OK it
    // reads the answer with AcceptValueEntry into `entry` and returns true.
    virtual bool RunValueEntry(CValueEntry& entry) = 0;
    // Runs the code selection dialog modally and hands back its outcome.
    virtual CIrDialogOutcome RunCodeSelection() = 0;

    // From any thread, without waiting: has `job` run on the window's thread soon.
    // Jobs run in the order posted; none runs once the view is destroyed.
    virtual void PostToUiThread(std::function<void()> job) = 0;
};

} // namespace corvalin

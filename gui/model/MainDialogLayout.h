#pragma once
// The main window as both views show it: the controls of its dialog template, each with
// its kind, text and rectangle in dialog units, and the entries of its context menu.
// The Qt view builds its controls from this table; the Win32 view shows the template
// of its resource script, which a test holds against this table.

#include "gui/model/MainDialogView.h"

#include <array>
#include <optional>
#include <vector>

namespace corvalin
{

// The dialog: its size in dialog units, the caption of the template (the model sets
// the full title at set-up) and the point size of its fixed-pitch font.
inline constexpr int kMainDialogWidth = 320;
inline constexpr int kMainDialogHeight = 273;
inline constexpr const char* kMainDialogCaption = "QUILTA Corvalin";
inline constexpr int kMainDialogFontPoints = 10;

enum class EControlKind
{
    Label,        // static text
    Edit,         // one-line edit box
    Button,       // push button
    DropDownList, // combo box that only offers its entries; its height is the open list's
    ProgressBar,  // smooth, bordered progress bar
    GroupBox,     // frame with a title around other controls
    ListBox,      // list that reports double-clicks, with a vertical scroll bar
};

struct CDialogRect
{
    int m_nX = 0;
    int m_nY = 0;
    int m_nWidth = 0;
    int m_nHeight = 0;
};

struct CControlDescription
{
    // None for a label the window never changes.
    std::optional<EMainControl> m_control;
    EControlKind m_eKind = EControlKind::Label;
    const char* m_pText = "";
    // The Qt view's object name, which its tests find the control by; "" for none.
    const char* m_pName = "";
    CDialogRect m_rect;
    // An edit box the user cannot type into.
    bool m_bReadOnly = false;
    // The button Enter presses.
    bool m_bDefault = false;
};

// Every control in the order of the template, which is also the tab order.
inline constexpr std::array<CControlDescription, 14> kMainDialogControls{{
    {std::nullopt, EControlKind::Label, "Select bundle", "", {7, 10, 67, 13}},
    {EMainControl::BundlePath, EControlKind::Edit, "", "bundlePath", {109, 10, 166, 14}, true},
    {EMainControl::Browse, EControlKind::Button, "...", "browse", {286, 10, 15, 14}},
    {std::nullopt, EControlKind::Label, "Select product", "", {7, 33, 67, 13}},
    {EMainControl::Product, EControlKind::DropDownList, "", "product", {109, 33, 166, 153}},
    {std::nullopt, EControlKind::Label, "USB Device", "", {7, 55, 102, 15}},
    {EMainControl::Device, EControlKind::Edit, "", "device", {109, 55, 166, 14}, true},
    {EMainControl::Store, EControlKind::Button, "Wr", "store", {286, 55, 15, 14}},
    {EMainControl::Status, EControlKind::Label, "Status", "status", {7, 76, 102, 13}},
    {EMainControl::Progress, EControlKind::ProgressBar, "", "progress", {109, 76, 166, 14}},
    {EMainControl::Group,
     EControlKind::GroupBox,
     "Doubleclick parameters to change",
     "parameterGroup",
     {7, 99, 303, 138}},
    {EMainControl::Parameters, EControlKind::ListBox, "", "parameters", {13, 113, 288, 120}},
    {EMainControl::Update, EControlKind::Button, "Update", "update", {7, 252, 50, 14}},
    {EMainControl::Close, EControlKind::Button, "Close", "close", {261, 252, 50, 14}, false, true},
}};

// The About entry of the context menu and of the window system's menu.
inline constexpr const char* kAboutEntryText = "&About Corvalin...";

// The commands of the context menu.
enum class EMenuCommand
{
    ChangeParameter,
    About,
    FastTransfer,
    SaveSettings,
    LoadSettings,
    KeepUpdateRecord,
};
inline constexpr int kMenuCommandCount = int(EMenuCommand::KeepUpdateRecord) + 1;

struct CMenuEntry
{
    // None for a separator.
    std::optional<EMenuCommand> m_command;
    const char* m_pText = "";
    // The Qt view's object name of the entry's action; "" for a separator.
    const char* m_pName = "";
    // A checkable entry shows a tick while m_bChecked.
    bool m_bCheckable = false;
    bool m_bChecked = false;
    bool m_bEnabled = true;
};

// The context menu from top to bottom, ticked as the window's choices stand; "Change..."
// is offered while a parameter is selected.
std::vector<CMenuEntry> MainContextMenu(bool bFastTransfer, bool bKeepingRecord, bool bParameterSelected);

// The dialog for a kind of file, opening in `folder`.
CFileDialog FileDialogFor(EFileKind kind, const std::filesystem::path& folder);

// Of the files dropped on the window, the one to open: a drop of exactly one file that
// is not a folder; none otherwise.
std::optional<std::filesystem::path> DroppedFileToOpen(const std::vector<std::filesystem::path>& dropped);

// The keys the main window's keyboard rules tell apart.
enum class EWindowKey
{
    Enter, // Return or the keypad's Enter, with no Shift, Ctrl or Alt
    Space,
    F1,
    F2,
};

// What a key does in the main window.
enum class EKeyAction
{
    None,            // the focused control handles the key as it always does
    PressFocused,    // the focused push button is pressed
    PressDefault,    // the default button, "Close", is pressed
    ChangeParameter, // the selected parameter changes, as on a double-click
    ShowAbout,
};

// The action of `key` with the focus on `focused` (none: the window itself or a control
// without an id); `bListOpen` while the product list is dropped down.
EKeyAction MainDialogKeyAction(EWindowKey key, std::optional<EMainControl> focused, bool bListOpen);

} // namespace corvalin

#include "gui/model/MainDialogLayout.h"

#include <system_error>

namespace corvalin
{

std::vector<CMenuEntry> MainContextMenu(bool bFastTransfer, bool bKeepingRecord, bool bParameterSelected)
{
    // Linux offers no way into the window system's menu, so About is here too. The
    // record entry is ticked once a record is kept; choosing it again picks another file.
    return {
        {EMenuCommand::ChangeParameter, "Change...", "changeAction", false, false, bParameterSelected},
        {std::nullopt, "", ""},
        {EMenuCommand::About, kAboutEntryText, "aboutAction"},
        {EMenuCommand::FastTransfer, "Fast transfer", "fastTransferAction", true, bFastTransfer},
        {std::nullopt, "", ""},
        {EMenuCommand::SaveSettings, "Save settings...", "saveSettingsAction"},
        {EMenuCommand::LoadSettings, "Load settings...", "loadSettingsAction"},
        {EMenuCommand::KeepUpdateRecord, "Keep an update record...", "keepRecordAction", true,
         bKeepingRecord},
    };
}

} // namespace corvalin

namespace corvalin
{

namespace
{

constexpr CFileFilter kAllFiles{"All files", "*"};

bool IsPushButton(EMainControl control)
{
    for (const CControlDescription& description : kMainDialogControls)
        if (description.m_control == control)
            return description.m_eKind == EControlKind::Button;
    return false;
}

} // namespace

CFileDialog FileDialogFor(EFileKind kind, const std::filesystem::path& folder)
{
    CFileDialog dialog;
    dialog.m_eKind = kind;
    dialog.m_folder = folder;
    switch (kind)
    {
    case EFileKind::BundleOrImage:
        dialog.m_filters = {{"Update bundles and firmware images", "*.zip *.bin *.img"}, kAllFiles};
        break;
    case EFileKind::StoredImage:
        dialog.m_filters = {{"Firmware images", "*.img *.bin"}, kAllFiles};
        dialog.m_bConfirmReplace = true;
        dialog.m_pDefaultExtension = "img";
        break;
    case EFileKind::Settings:
        dialog.m_filters = {{"Settings documents", "*.json"}, kAllFiles};
        dialog.m_bConfirmReplace = true;
        break;
    case EFileKind::UpdateRecord:
        // New lines are appended to the record chosen, so nothing is replaced.
        dialog.m_filters = {{"Update records", "*.jsonl"}, kAllFiles};
        break;
    case EFileKind::ProntoCodes:
        dialog.m_filters = {{"CCF Files", "*.ccf"}, kAllFiles};
        break;
    }
    return dialog;
}

std::optional<std::filesystem::path> DroppedFileToOpen(const std::vector<std::filesystem::path>& dropped)
{
    if (dropped.size() != 1)
        return std::nullopt;
    std::error_code error;
    if (dropped.front().empty() || std::filesystem::is_directory(dropped.front(), error))
        return std::nullopt;
    return dropped.front();
}

EKeyAction MainDialogKeyAction(EWindowKey key, std::optional<EMainControl> focused, bool bListOpen)
{
    if (key == EWindowKey::F1)
        return EKeyAction::ShowAbout;
    // The keyboard's way to what a double-click does.
    if (focused == EMainControl::Parameters)
        return EKeyAction::ChangeParameter;
    if (key != EWindowKey::Enter)
        return EKeyAction::None;
    if (focused && IsPushButton(*focused))
        return EKeyAction::PressFocused;
    // Enter in the open list only closes it on the entry shown.
    if (focused == EMainControl::Product && bListOpen)
        return EKeyAction::None;
    return EKeyAction::PressDefault;
}

} // namespace corvalin

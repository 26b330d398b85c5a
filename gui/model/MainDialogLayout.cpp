#include "gui/model/MainDialogLayout.h"

namespace corvalin
{

std::vector<CMenuEntry> MainContextMenu(bool bFastTransfer, bool bKeepingRecord)
{
    // Linux offers no way into the window system's menu, so About is here too. The
    // record entry is ticked once a record is kept; choosing it again picks another file.
    return {
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

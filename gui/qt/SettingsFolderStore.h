#pragma once
// The file dialogs' folders in the user's Qt settings (on Linux
// ~/.config/Corvalin/Corvalin.conf), so the next run opens where this one left off.

#include "gui/model/FolderMemory.h"

namespace corvalin
{

class CSettingsFolderStore : public IFolderStore
{
  public:
    std::filesystem::path LoadFolder(const char* name) const override;
    void SaveFolder(const char* name, const std::filesystem::path& folder) override;
};

} // namespace corvalin

#pragma once
// The file dialogs' folders in the user's registry hive, under
// HKEY_CURRENT_USER\Software\Corvalin, so the next run opens where this one left off.

#include "gui/model/FolderMemory.h"

namespace corvalin::win32
{

// The key under HKEY_CURRENT_USER that holds the program's settings.
inline constexpr const wchar_t* kSettingsKey = L"Software\\Corvalin";

class CRegistryFolderStore : public IFolderStore
{
  public:
    std::filesystem::path LoadFolder(const char* name) const override;
    void SaveFolder(const char* name, const std::filesystem::path& folder) override;
};

} // namespace corvalin::win32

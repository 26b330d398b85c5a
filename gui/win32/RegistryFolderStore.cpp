#include "gui/win32/RegistryFolderStore.h"

#include "gui/win32/WideText.h"

#include <windows.h>

#include <vector>

namespace corvalin::win32
{

std::filesystem::path CRegistryFolderStore::LoadFolder(const char* name) const
{
    const std::wstring value = FromUtf8(name);
    DWORD size = 0;
    // A value that is missing, of another type or too long for a path is no folder.
    if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, value.c_str(), RRF_RT_REG_SZ, nullptr, nullptr,
                     &size) != ERROR_SUCCESS ||
        size > 65536)
        return {};
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
    size = DWORD(text.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, value.c_str(), RRF_RT_REG_SZ, nullptr, text.data(),
                     &size) != ERROR_SUCCESS)
        return {};
    return std::filesystem::path(std::wstring(text.data()));
}

void CRegistryFolderStore::SaveFolder(const char* name, const std::filesystem::path& folder)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    const std::wstring text = folder.wstring();
    RegSetValueExW(key, FromUtf8(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   DWORD((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

} // namespace corvalin::win32

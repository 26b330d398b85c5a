#include "gui/model/FolderMemory.h"

#include <system_error>

namespace corvalin
{

const char* FolderName(EFileKind kind)
{
    switch (kind)
    {
    case EFileKind::BundleOrImage:
        return "BundleFolder";
    case EFileKind::StoredImage:
        return "StoredImageFolder";
    case EFileKind::Settings:
        return "SettingsFolder";
    case EFileKind::UpdateRecord:
        return "UpdateRecordFolder";
    case EFileKind::ProntoCodes:
        return "CcfFolder";
    }
    return "Folder";
}

std::filesystem::path CFolderMemory::Recalled(EFileKind kind) const
{
    const auto known = m_folders.find(kind);
    if (known != m_folders.end())
        return known->second;
    if (!m_pStore)
        return {};
    // A folder kept from an earlier run that has gone since would open the dialog
    // somewhere arbitrary; the toolkit's choice is better.
    std::filesystem::path folder = m_pStore->LoadFolder(FolderName(kind));
    std::error_code error;
    if (folder.empty() || !std::filesystem::is_directory(folder, error))
        return {};
    return folder;
}

std::filesystem::path CFolderMemory::FolderFor(EFileKind kind) const
{
    std::filesystem::path folder = Recalled(kind);
    if (folder.empty() && kind == EFileKind::StoredImage)
        folder = Recalled(EFileKind::BundleOrImage);
    return folder;
}

void CFolderMemory::Remember(EFileKind kind, const std::filesystem::path& file)
{
    if (!file.has_parent_path())
        return;
    std::error_code error;
    std::filesystem::path folder = std::filesystem::absolute(file, error).parent_path();
    if (error)
        folder = file.parent_path();
    m_folders[kind] = folder;
    if (m_pStore)
        m_pStore->SaveFolder(FolderName(kind), folder);
}

} // namespace corvalin

#include "device/Updater.h"

namespace corvalin
{

void CUpdater::AttachControls(IProgressControl* progress, IStatusControl* status)
{
    if (progress)
    {
        m_pProgress = progress;
        m_pProgress->SetRange(0, 100);
        m_pProgress->SetPos(0);
    }
    if (status)
    {
        m_pStatus = status;
        m_pStatus->SetText("");
    }
}

void CUpdater::SetStatus(const std::string& text)
{
    if (m_pStatus)
        m_pStatus->SetText(text);
}

StatusFn CUpdater::StatusWriter()
{
    return [this](const std::string& text) { SetStatus(text); };
}

int CUpdater::LoadImageFile(const std::filesystem::path& path)
{
    return m_image.LoadFile(path, StatusWriter());
}

int CUpdater::LoadImageBuffer(const uint8_t* bytes, std::size_t length)
{
    return m_image.LoadBuffer(bytes, length, StatusWriter());
}

void CUpdater::StoreImageFile(const std::filesystem::path& path)
{
    m_image.StoreFile(path, StatusWriter());
}

} // namespace corvalin

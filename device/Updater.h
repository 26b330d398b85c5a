#pragma once
// CUpdater: the update worker object. It holds the firmware image, reports through
// the window's status line and progress bar, and (as the device link grows) owns the
// serial port and the update thread.

#include "device/UpdaterControls.h"
#include "image/FirmwareImage.h"

#include <filesystem>
#include <string>

namespace corvalin
{

class CUpdater
{
public:
    CUpdater() = default;
    CUpdater(const CUpdater&) = delete;
    CUpdater& operator=(const CUpdater&) = delete;

    // Remembers the controls (a null one is left as it was); sets the bar's range to
    // 0..100 and its position to 0, and empties the status line.
    void AttachControls(IProgressControl* progress, IStatusControl* status);

    // Image operations of the window's thread; 1 for an accepted image, 0 otherwise.
    int LoadImageFile(const std::filesystem::path& path);
    int LoadImageBuffer(const uint8_t* bytes, std::size_t length);
    void StoreImageFile(const std::filesystem::path& path);

    bool IsImageHeld() const { return m_image.IsHeld(); }
    const CFirmwareImage& Image() const { return m_image; }
    // The parameter list is edited in place here.
    ImageHeader& Header() { return m_image.Header(); }
    const ImageHeader& Header() const { return m_image.Header(); }

    void SetStatus(const std::string& text);

private:
    StatusFn StatusWriter();

    CFirmwareImage m_image;
    IProgressControl* m_pProgress = nullptr;
    IStatusControl* m_pStatus = nullptr;
};

} // namespace corvalin

#pragma once
// Whatever holds the image a file or a bundle member is loaded into, with the status
// line the loader's texts go to: the update worker (which refuses loads during an
// update) or, for work on files alone, a CImageHolder.

#include "image/FirmwareImage.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace corvalin
{

class IImageHolder
{
  public:
    virtual ~IImageHolder() = default;
    // 1 for an accepted image, 0 otherwise.
    virtual int LoadImageFile(const std::filesystem::path& path) = 0;
    virtual int LoadImageBuffer(const uint8_t* bytes, std::size_t length) = 0;
    virtual const CFirmwareImage& Image() const = 0;
    virtual void SetStatus(const std::string& text) = 0;
};

// An image held without a box: what the commands that only edit files work on.
class CImageHolder : public IImageHolder
{
  public:
    explicit CImageHolder(StatusFn status = {}) : m_status(std::move(status)) {}

    int LoadImageFile(const std::filesystem::path& path) override { return m_image.LoadFile(path, Status()); }
    int LoadImageBuffer(const uint8_t* bytes, std::size_t length) override
    {
        return m_image.LoadBuffer(bytes, length, Status());
    }
    const CFirmwareImage& Image() const override { return m_image; }
    void SetStatus(const std::string& text) override
    {
        if (m_status)
            m_status(text);
    }

    ImageHeader& Header() { return m_image.Header(); }
    // True once stored; the status line says how it went.
    bool StoreImageFile(const std::filesystem::path& path) const { return m_image.StoreFile(path, Status()); }

  private:
    StatusFn Status() const
    {
        return [this](const std::string& text)
        {
            if (m_status)
                m_status(text);
        };
    }

    StatusFn m_status;
    CFirmwareImage m_image;
};

} // namespace corvalin

#include "image/FirmwareImage.h"

#include "platform/FileIo.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <system_error>

namespace corvalin
{

namespace
{

// The image file texts that the window's status line shows.
constexpr const char* kLoadingImage = "Loading image";
constexpr const char* kWrongImageSize = "Wrong Image size";
constexpr const char* kUnableToRead = "Unable to read the file";
constexpr const char* kWrongImage = "Wrong Image";
constexpr const char* kImageLoaded = "Image loaded";
constexpr const char* kWritingImage = "Writing image";
constexpr const char* kImageStored = "Image stored";

bool IsAcceptableBodySize(std::size_t bodySize)
{
    return bodySize >= kMinBodySize && bodySize <= kMaxBodySize;
}

struct FileCloser
{
    void operator()(std::FILE* file) const
    {
        if (file)
            std::fclose(file);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// The length of an open file, or -1 when it cannot be told.
long long FileLength(std::FILE* file)
{
    if (std::fseek(file, 0, SEEK_END) != 0)
        return -1;
    long long length = std::ftell(file);
    if (std::fseek(file, 0, SEEK_SET) != 0)
        return -1;
    return length;
}

} // namespace

void ApplyHeaderKey(const uint8_t* in, uint8_t* out, std::size_t count, const uint8_t* body,
                    std::size_t bodySize)
{
    const uint8_t* key = body + (bodySize - kBlockSize);
    for (std::size_t i = 0; i < count; ++i)
        out[i] = uint8_t(in[i] ^ key[i]);
}

int CFirmwareImage::Accept(const uint8_t* scrambledHeader, std::unique_ptr<uint8_t[]> body,
                           std::size_t bodySize, const StatusFn& status)
{
    // From here on the new bytes are held, even when the tag test fails.
    m_pBody = std::move(body);
    m_nBodySize = uint32_t(bodySize);
    m_nBlocks = int32_t(bodySize >> 9);
    ApplyHeaderKey(scrambledHeader, m_header.data(), kHeaderSize, m_pBody.get(), bodySize);

    if (m_header[kTagOffset + 3] != kImageTagTopByte)
    {
        status(kWrongImage);
        return 0;
    }
    status(kImageLoaded);
    return 1;
}

int CFirmwareImage::LoadFile(const std::filesystem::path& path, const StatusFn& status)
{
    status(kLoadingImage);

    FilePtr file(platform::OpenFileForRead(path));
    if (!file)
        return 0;

    long long length = FileLength(file.get());
    if (length < 0)
        return 0;
    if (length < (long long)(kHeaderSize + kMinBodySize) || length > (long long)(kHeaderSize + kMaxBodySize))
    {
        status(kWrongImageSize);
        return 0;
    }

    // The header is read aside, so a short read leaves the held header as it was.
    uint8_t scrambled[kHeaderSize];
    if (std::fread(scrambled, 1, kHeaderSize, file.get()) != kHeaderSize)
        return 0;

    std::size_t bodySize = std::size_t(length) - kHeaderSize;
    m_pBody.reset();
    m_nBodySize = 0;
    m_nBlocks = 0;
    std::unique_ptr<uint8_t[]> body(new (std::nothrow) uint8_t[bodySize]);
    if (!body || std::fread(body.get(), 1, bodySize, file.get()) != bodySize)
    {
        status(kUnableToRead);
        return 0;
    }
    file.reset();

    return Accept(scrambled, std::move(body), bodySize, status);
}

int CFirmwareImage::LoadBuffer(const uint8_t* bytes, std::size_t length, const StatusFn& status)
{
    if (length < kBlockSize)
        return 0;
    if (!IsAcceptableBodySize(length - kHeaderSize))
    {
        status(kWrongImageSize);
        return 0;
    }

    std::size_t bodySize = length - kHeaderSize;
    std::unique_ptr<uint8_t[]> body(new (std::nothrow) uint8_t[bodySize]);
    if (!body)
        return 0;
    std::memcpy(body.get(), bytes + kHeaderSize, bodySize);
    return Accept(bytes, std::move(body), bodySize, status);
}

std::vector<uint8_t> CFirmwareImage::FileBytes() const
{
    if (!m_pBody)
        return {};
    std::vector<uint8_t> bytes(kHeaderSize + m_nBodySize);
    ApplyHeaderKey(m_header.data(), bytes.data(), kHeaderSize, m_pBody.get(), m_nBodySize);
    std::copy(m_pBody.get(), m_pBody.get() + m_nBodySize, bytes.begin() + kHeaderSize);
    return bytes;
}

bool CFirmwareImage::StoreFile(const std::filesystem::path& path, const StatusFn& status) const
{
    status(kWritingImage);
    if (!m_pBody)
        return false;

    // A failed store leaves the old file whole (see platform::StoreFileSafely).
    const std::vector<uint8_t> bytes = FileBytes();
    if (!platform::StoreFileSafely(path, bytes.data(), bytes.size()))
    {
        status(kUnableToWriteFile);
        return false;
    }
    status(kImageStored);
    return true;
}

} // namespace corvalin

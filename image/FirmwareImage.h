#pragma once
// The held firmware image: the de-scrambled header and the body, loaded from a file
// or a buffer and stored back to a file.
//
// File layout: 444-byte header stored XORed with a header key, then the body of N
// bytes stored as is. The header key is the 444 body bytes that start 512 bytes
// before the end of the body: file byte i = header byte i XOR body byte (N - 512 + i).

#include "image/ImageHeader.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace corvalin
{

// Images whose body is shorter than one block have no complete header key and no
// block to send. INIT carries the block count (N >> 9) in 16 bits, and XFER numbers
// the blocks from 0 up to and including that count in 16 bits, so a body of 65536
// blocks or more (32 MiB and more) would wrap both numbers and overwrite the box's
// first blocks: such bodies are refused before any allocation.
constexpr std::size_t kMinBodySize = kBlockSize;
constexpr std::size_t kMaxBlockCount = 0xFFFF;
constexpr std::size_t kMaxBodySize = (kMaxBlockCount + 1) * kBlockSize - 1;

// What the status line says when a file could not be written.
constexpr const char* kUnableToWriteFile = "Unable to write the file";

// Receives each status text as it is set.
using StatusFn = std::function<void(const std::string&)>;

// XORs `count` header bytes with the header key of `body` (N >= 512 bytes).
// The same call scrambles and de-scrambles.
void ApplyHeaderKey(const uint8_t* in, uint8_t* out, std::size_t count, const uint8_t* body,
                    std::size_t bodySize);

class CFirmwareImage
{
  public:
    // Loads an image file: 1 when an image was loaded and accepted, 0 otherwise.
    int LoadFile(const std::filesystem::path& path, const StatusFn& status);

    // Loads an image from the bytes of a bundle member: 1 or 0, as LoadFile.
    int LoadBuffer(const uint8_t* bytes, std::size_t length, const StatusFn& status);

    // Stores the held image: true once stored ("Image stored"), false at any failure
    // ("Unable to write the file") or with no image held. The target is replaced in
    // one step once every byte is written, so a failure never damages it.
    bool StoreFile(const std::filesystem::path& path, const StatusFn& status) const;

    // The held image as its file holds it (scrambled header, then the body); empty when
    // none is held.
    std::vector<uint8_t> FileBytes() const;

    bool IsHeld() const { return m_pBody != nullptr; }
    ImageHeader& Header() { return m_header; }
    const ImageHeader& Header() const { return m_header; }
    const uint8_t* Body() const { return m_pBody.get(); }
    uint32_t BodySize() const { return m_nBodySize; }
    int32_t Blocks() const { return m_nBlocks; }

  private:
    // Takes a new header (still scrambled) and body, de-scrambles and tests the tag.
    int Accept(const uint8_t* scrambledHeader, std::unique_ptr<uint8_t[]> body, std::size_t bodySize,
               const StatusFn& status);

    ImageHeader m_header{};
    std::unique_ptr<uint8_t[]> m_pBody;
    uint32_t m_nBodySize = 0;
    int32_t m_nBlocks = 0;
};

} // namespace corvalin

#pragma once
// SHA-256 (FIPS 180-4), so that an update record names the exact bytes sent without
// pulling in a crypto library for one digest.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace corvalin
{

class CSha256
{
  public:
    CSha256();
    void Update(const uint8_t* bytes, std::size_t length);
    // The digest of everything given so far; the object is spent afterwards.
    std::array<uint8_t, 32> Finish();

  private:
    void Compress(const uint8_t* block);

    std::array<uint32_t, 8> m_state;
    std::array<uint8_t, 64> m_block{};
    std::size_t m_nBlockUsed = 0;
    uint64_t m_nTotalBytes = 0;
};

// The digest of `length` bytes as 64 lower-case hex digits.
std::string Sha256Hex(const uint8_t* bytes, std::size_t length);

} // namespace corvalin

#include "platform/WaveFormat.h"

#include <cstring>

namespace corvalin::platform
{

namespace
{

uint32_t Le32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t Le16(const uint8_t* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

} // namespace

bool ParsePcmWave(const uint8_t* wave, std::size_t size, CWaveInfo& info)
{
    info = CWaveInfo{};
    if (!wave || size < 12 || std::memcmp(wave, "RIFF", 4) != 0 || std::memcmp(wave + 8, "WAVE", 4) != 0)
        return false;
    bool haveFormat = false;
    std::size_t at = 12;
    while (size - at >= 8)
    {
        const uint8_t* chunk = wave + at;
        std::size_t length = Le32(chunk + 4);
        if (length > size - at - 8)
            return false;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && length >= 16)
        {
            if (Le16(chunk + 8) != 1)
                return false; // not PCM
            info.m_nChannels = Le16(chunk + 10);
            info.m_nRate = int(Le32(chunk + 12));
            info.m_nBits = Le16(chunk + 22);
            haveFormat = true;
        }
        else if (std::memcmp(chunk, "data", 4) == 0)
        {
            info.m_pSamples = chunk + 8;
            info.m_nSampleBytes = length;
        }
        at += 8 + length + (length & 1);
        if (at > size)
            break;
    }
    return haveFormat && info.m_pSamples && info.m_nChannels > 0 && info.m_nRate > 0 &&
           (info.m_nBits == 8 || info.m_nBits == 16);
}

} // namespace corvalin::platform

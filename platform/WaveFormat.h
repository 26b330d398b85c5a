#pragma once
// Finding the format and the samples inside a RIFF WAVE held in memory.

#include <cstddef>
#include <cstdint>

namespace corvalin::platform
{

struct CWaveInfo
{
    int m_nChannels = 0;
    int m_nRate = 0;
    int m_nBits = 0;
    const uint8_t* m_pSamples = nullptr;
    std::size_t m_nSampleBytes = 0;
};

// True for a PCM WAVE whose chunks all lie inside the data; fills `info`.
bool ParsePcmWave(const uint8_t* wave, std::size_t size, CWaveInfo& info);

} // namespace corvalin::platform

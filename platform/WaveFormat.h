#pragma once
// Finding the format and the samples inside a RIFF WAVE held in memory.

#include <cstddef>
#include <cstdint>

namespace corvalin::platform
{

struct CWaveInfo
{
    int nChannels = 0;
    int nRate = 0;
    int nBits = 0;
    const uint8_t* pSamples = nullptr;
    std::size_t nSampleBytes = 0;
};

// True for a PCM WAVE whose chunks all lie inside the data; fills `info`.
bool ParsePcmWave(const uint8_t* wave, std::size_t size, CWaveInfo& info);

} // namespace corvalin::platform

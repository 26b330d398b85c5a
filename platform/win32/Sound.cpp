#include "platform/Sound.h"

#include "platform/WaveFormat.h"

#include <windows.h>
#include <mmsystem.h>

namespace corvalin::platform
{

bool PlayWaveSync(const uint8_t* wave, std::size_t size, const std::atomic<bool>& stop)
{
    CWaveInfo info;
    if (!ParsePcmWave(wave, size, info) || stop.load())
        return false;
    // SND_MEMORY without SND_ASYNC plays to the end before returning; without a sound
    // device it fails at once. It cannot be cut short, but the chime lasts under 2 s.
    return sndPlaySoundA(reinterpret_cast<LPCSTR>(wave), SND_MEMORY) != FALSE;
}

} // namespace corvalin::platform

#include "device/CompletionSound.h"

#include "platform/Sound.h"

namespace corvalin
{

extern const uint8_t kChimeWave[];
extern const std::size_t kChimeWaveSize;

const uint8_t* CompletionChime(std::size_t& size)
{
    size = kChimeWaveSize;
    return kChimeWave;
}

void PlayCompletionChime(const std::atomic<bool>& stop)
{
    platform::PlayWaveSync(kChimeWave, kChimeWaveSize, stop);
}

} // namespace corvalin

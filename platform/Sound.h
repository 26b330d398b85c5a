#pragma once
// Plays a RIFF WAVE held in memory to its end (ALSA on Linux, sndPlaySound on Windows).

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace corvalin::platform
{

// Blocks until the sound has been played; returns at once when there is no sound
// device or the data is not a PCM WAVE, and early once `stop` becomes true (where the
// system allows). True when the sound was played.
bool PlayWaveSync(const uint8_t* wave, std::size_t size, const std::atomic<bool>& stop);

} // namespace corvalin::platform

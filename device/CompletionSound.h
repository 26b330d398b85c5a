#pragma once
// The program's own completion chime, compiled in from res/chime.wav.

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace corvalin
{

// The chime's RIFF WAVE bytes.
const uint8_t* CompletionChime(std::size_t& size);

// Plays the chime to its end; returns at once without a sound device, early on `stop`.
void PlayCompletionChime(const std::atomic<bool>& stop);

} // namespace corvalin

#include "platform/Sound.h"

#include "platform/WaveFormat.h"

#include <windows.h>
// after windows.h, which it needs
#include <mmsystem.h>

#include <chrono>

namespace corvalin::platform
{

namespace
{

// How often the wait for the sound's end looks at the stop flag.
constexpr int kStopCheckMs = 20;
// Room after the sound's own length for the device to start and empty its buffers.
constexpr int kEndMarginMs = 250;

} // namespace

bool PlayWaveSync(const uint8_t* wave, std::size_t size, const std::atomic<bool>& stop)
{
    CWaveInfo info;
    if (!ParsePcmWave(wave, size, info) || stop.load())
        return false;
    const int64_t bytesPerSecond = int64_t(info.m_nRate) * info.m_nChannels * (info.m_nBits / 8);
    if (bytesPerSecond <= 0 || waveOutGetNumDevs() == 0)
        return false;
    // Played in the background and waited for here in short steps, so that a stop
    // ends it at once; a synchronous sndPlaySound cannot be cut short.
    if (!sndPlaySoundA(reinterpret_cast<LPCSTR>(wave), SND_MEMORY | SND_ASYNC | SND_NODEFAULT))
        return false;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end =
        Clock::now() +
        std::chrono::milliseconds(int64_t(info.m_nSampleBytes) * 1000 / bytesPerSecond + kEndMarginMs);
    bool played = true;
    while (Clock::now() < end)
    {
        if (stop.load())
        {
            played = false;
            break;
        }
        Sleep(kStopCheckMs);
    }
    // Whatever still plays ends here, before the caller may release the data.
    sndPlaySoundA(nullptr, 0);
    return played;
}

} // namespace corvalin::platform

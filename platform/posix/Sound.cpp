#include "platform/Sound.h"

#include "platform/WaveFormat.h"

#ifdef CORVALIN_HAVE_ALSA
#include <alsa/asoundlib.h>
#endif

#include <algorithm>

namespace corvalin::platform
{

#ifdef CORVALIN_HAVE_ALSA

namespace
{

// Without a sound card ALSA would explain so on stderr at every attempt.
void SilentAlsaError(const char*, int, const char*, int, const char*, ...) {}

// Short enough that a stop request is heard within a tenth of a second.
constexpr unsigned kLatencyMicroseconds = 100000;
constexpr int kChunkMilliseconds = 50;

} // namespace

bool PlayWaveSync(const uint8_t* wave, std::size_t size, const std::atomic<bool>& stop)
{
    CWaveInfo info;
    if (!ParsePcmWave(wave, size, info) || stop.load())
        return false;

    snd_lib_error_set_handler(SilentAlsaError);
    snd_pcm_t* pcm = nullptr;
    // Non-blocking open: a busy or missing device must not hold the worker.
    if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0)
        return false;
    snd_pcm_format_t format = info.m_nBits == 16 ? SND_PCM_FORMAT_S16_LE : SND_PCM_FORMAT_U8;
    if (snd_pcm_set_params(pcm, format, SND_PCM_ACCESS_RW_INTERLEAVED, unsigned(info.m_nChannels),
                           unsigned(info.m_nRate), 1, kLatencyMicroseconds) < 0 ||
        snd_pcm_nonblock(pcm, 0) < 0)
    {
        snd_pcm_close(pcm);
        return false;
    }

    const std::size_t frameBytes = std::size_t(info.m_nChannels) * std::size_t(info.m_nBits / 8);
    const std::size_t chunkFrames = std::size_t(info.m_nRate) * kChunkMilliseconds / 1000;
    std::size_t frames = info.m_nSampleBytes / frameBytes;
    const uint8_t* at = info.m_pSamples;
    bool played = true;
    while (frames > 0)
    {
        if (stop.load())
        {
            played = false;
            break;
        }
        snd_pcm_sframes_t written = snd_pcm_writei(pcm, at, std::min(frames, chunkFrames));
        if (written < 0)
            written = snd_pcm_recover(pcm, int(written), 1);
        if (written < 0)
        {
            played = false;
            break;
        }
        at += std::size_t(written) * frameBytes;
        frames -= std::size_t(written);
    }
    if (played)
        snd_pcm_drain(pcm);
    else
        snd_pcm_drop(pcm);
    snd_pcm_close(pcm);
    return played;
}

#else

bool PlayWaveSync(const uint8_t*, std::size_t, const std::atomic<bool>&)
{
    return false;
}

#endif

} // namespace corvalin::platform

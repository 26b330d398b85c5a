// The completion chime compiled into the program, the WAVE reader, and playing without
// a sound device.

#include "device/CompletionSound.h"
#include "platform/Sound.h"
#include "platform/WaveFormat.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace corvalin;
using namespace corvalin::platform;

TEST(CompletionSound, ChimeIsAShortStereoPcmWave)
{
    std::size_t size = 0;
    const uint8_t* chime = CompletionChime(size);
    ASSERT_NE(chime, nullptr);
    EXPECT_EQ(size, 171100u);
    CWaveInfo info;
    ASSERT_TRUE(ParsePcmWave(chime, size, info));
    EXPECT_EQ(info.nChannels, 2);
    EXPECT_EQ(info.nRate, 22050);
    EXPECT_EQ(info.nBits, 16);
    double seconds = double(info.nSampleBytes) / (2 * 2 * 22050);
    EXPECT_NEAR(seconds, 1.9, 0.1);
    // Not silence.
    bool sound = false;
    for (std::size_t i = 0; i < info.nSampleBytes && !sound; ++i)
        sound = info.pSamples[i] != 0;
    EXPECT_TRUE(sound);
}

TEST(CompletionSound, MalformedWavesAreRefusedWithoutReadingPastTheData)
{
    std::size_t size = 0;
    const uint8_t* chime = CompletionChime(size);
    std::vector<uint8_t> wave(chime, chime + 44);
    CWaveInfo info;
    // The data chunk announces more bytes than there are.
    EXPECT_FALSE(ParsePcmWave(wave.data(), wave.size(), info));
    // Not PCM.
    wave.assign(chime, chime + size);
    wave[20] = 2;
    EXPECT_FALSE(ParsePcmWave(wave.data(), wave.size(), info));
    // Not RIFF at all, and too short to tell.
    EXPECT_FALSE(ParsePcmWave(reinterpret_cast<const uint8_t*>("RIFX"), 4, info));
    EXPECT_FALSE(ParsePcmWave(nullptr, 0, info));
    // A chunk length that would wrap around.
    wave.assign(chime, chime + 64);
    std::memset(&wave[16], 0xFF, 4);
    EXPECT_FALSE(ParsePcmWave(wave.data(), wave.size(), info));
}

TEST(CompletionSound, PlayingReturnsWhenStoppedOrWithoutADevice)
{
    std::size_t size = 0;
    const uint8_t* chime = CompletionChime(size);
    std::atomic<bool> stop{true};
    EXPECT_FALSE(PlayWaveSync(chime, size, stop));
    const uint8_t junk[16] = {};
    stop = false;
    EXPECT_FALSE(PlayWaveSync(junk, sizeof junk, stop));
    // With a sound device this plays the chime to its end; without one it returns at once.
    PlayCompletionChime(stop);
}

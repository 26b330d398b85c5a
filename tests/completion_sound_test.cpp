// The completion chime compiled into the program, the WAVE reader, and what playing it
// sends to the sound device.

#include "device/CompletionSound.h"
#include "platform/Sound.h"
#include "platform/WaveFormat.h"

#include "tools/fixtures/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

using namespace corvalin;
using namespace corvalin::platform;

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

TEST(CompletionSound, PlayingRefusesWhatIsNoWaveAndStopsBeforeTheFirstSample)
{
    std::size_t size = 0;
    const uint8_t* chime = CompletionChime(size);
    const std::atomic<bool> stopped{true};
    EXPECT_FALSE(PlayWaveSync(chime, size, stopped));
    const uint8_t junk[16] = {};
    const std::atomic<bool> going{false};
    EXPECT_FALSE(PlayWaveSync(junk, sizeof junk, going));
}

#ifdef CORVALIN_HAVE_ALSA
// ALSA's default device pointed at its file plugin: what would reach the speaker is
// written to a WAVE file instead, in real format, whatever sound hardware there is.
class CCapturedSound : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        const auto config = m_dir / "alsa.conf";
        std::ofstream(config) << "pcm.!default { type file slave.pcm { type null } file \""
                              << (m_dir / "played.wav").string() << "\" format \"wav\" }\n";
        setenv("ALSA_CONFIG_PATH", config.c_str(), 1);
    }
    void TearDown() override { unsetenv("ALSA_CONFIG_PATH"); }

    std::vector<uint8_t> Played() const
    {
        std::ifstream in(m_dir / "played.wav", std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    }

    fixtures::CTempDir m_dir;
};

TEST_F(CCapturedSound, TheChimeIsPlayedWholeInItsOwnFormat)
{
    std::size_t size = 0;
    const uint8_t* chime = CompletionChime(size);
    CWaveInfo expected;
    ASSERT_TRUE(ParsePcmWave(chime, size, expected));
    const std::atomic<bool> going{false};
    PlayCompletionChime(going);

    const std::vector<uint8_t> played = Played();
    CWaveInfo got;
    ASSERT_TRUE(ParsePcmWave(played.data(), played.size(), got));
    EXPECT_EQ(got.m_nChannels, expected.m_nChannels);
    EXPECT_EQ(got.m_nRate, expected.m_nRate);
    EXPECT_EQ(got.m_nBits, expected.m_nBits);
    ASSERT_EQ(got.m_nSampleBytes, expected.m_nSampleBytes);
    EXPECT_EQ(std::memcmp(got.m_pSamples, expected.m_pSamples, got.m_nSampleBytes), 0);
    // A chime that is all silence would tell the installer nothing.
    EXPECT_TRUE(
        std::any_of(got.m_pSamples, got.m_pSamples + got.m_nSampleBytes, [](uint8_t b) { return b != 0; }));
}
#endif

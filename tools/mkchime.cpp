// Writes the completion chime: a two-note bell, PCM WAVE, 2 channels, 22050 Hz,
// 16 bit, 42764 frames (about 1.94 s, 171100 bytes). Run once; the result is
// committed as res/chime.wav and compiled into the program.
//
//   corvalin-mkchime OUT.wav

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace
{

constexpr int kRate = 22050;
constexpr int kChannels = 2;
constexpr int kFrames = 42764;
constexpr double kPi = 3.14159265358979323846;

void PutLe16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void PutLe32(std::vector<uint8_t>& out, uint32_t v)
{
    PutLe16(out, uint16_t(v));
    PutLe16(out, uint16_t(v >> 16));
}

void PutTag(std::vector<uint8_t>& out, const char* tag)
{
    out.insert(out.end(), tag, tag + 4);
}

// One struck bell note: a fundamental with two soft partials, a quick attack and an
// exponential decay.
double Bell(double t, double frequency)
{
    if (t < 0)
        return 0;
    double attack = std::min(1.0, t / 0.004);
    double decay = std::exp(-t * 3.2);
    double tone = std::sin(2 * kPi * frequency * t) +
                  0.35 * std::sin(2 * kPi * 2.01 * frequency * t) * std::exp(-t * 4) +
                  0.12 * std::sin(2 * kPi * 3.02 * frequency * t) * std::exp(-t * 6);
    return attack * decay * tone;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: corvalin-mkchime OUT.wav\n");
        return 2;
    }
    const uint32_t dataBytes = uint32_t(kFrames) * kChannels * 2;
    std::vector<uint8_t> wave;
    PutTag(wave, "RIFF");
    PutLe32(wave, 36 + dataBytes);
    PutTag(wave, "WAVE");
    PutTag(wave, "fmt ");
    PutLe32(wave, 16);
    PutLe16(wave, 1); // PCM
    PutLe16(wave, kChannels);
    PutLe32(wave, kRate);
    PutLe32(wave, kRate * kChannels * 2);
    PutLe16(wave, kChannels * 2);
    PutLe16(wave, 16);
    PutTag(wave, "data");
    PutLe32(wave, dataBytes);

    // E6 then C6 (a falling major third), the second note a little to the right.
    for (int i = 0; i < kFrames; ++i)
    {
        double t = double(i) / kRate;
        double first = Bell(t, 1318.51);
        double second = Bell(t - 0.28, 1046.50);
        double fade = i > kFrames - 2205 ? double(kFrames - i) / 2205.0 : 1.0;
        double left = (0.62 * first + 0.38 * second) * 0.45 * fade;
        double right = (0.38 * first + 0.62 * second) * 0.45 * fade;
        PutLe16(wave, uint16_t(int16_t(std::lround(left * 32767))));
        PutLe16(wave, uint16_t(int16_t(std::lround(right * 32767))));
    }

    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out || std::fwrite(wave.data(), 1, wave.size(), out) != wave.size())
    {
        std::fprintf(stderr, "corvalin-mkchime: cannot write %s\n", argv[1]);
        if (out)
            std::fclose(out);
        return 1;
    }
    return std::fclose(out) == 0 ? 0 : 1;
}

// The update record under load and under attack.
//
//   benchmark_record append LOG N       appends N record lines to LOG, as a station does,
//                                       and prints the time per append; run several at
//                                       once on one LOG to see the lock at work
//   benchmark_record tamper LOG [N]     changes single bytes of LOG, one at a time (every
//                                       byte, or N spread evenly over the file), and counts
//                                       how many changes verification reports
//
// `benchmarks/record-load.sh` runs four appenders on one file, verifies the chain and
// then tampers with it.

#include "device/UpdateRecord.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

using namespace corvalin;

namespace
{

int Append(const std::filesystem::path& log, int count)
{
    CUpdateRecord image;
    image.m_strImage = "ready.img";
    image.m_strSha256 = std::string(64, 'a');
    image.m_strHardware = "00010000";
    image.m_nBlocks = 512;
    const auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i)
    {
        CUpdateTurn turn;
        turn.m_port = CPortRecord{"ttyUSB" + std::to_string(i % 8), true, "SHOP", int(getpid()) * 10000 + i};
        turn.m_strPlace = "USB 1-2." + std::to_string(i % 8 + 1);
        turn.m_strStatus = "Update complete";
        turn.m_bSuccess = true;
        turn.m_dSeconds = 51.4;
        turn.m_tStart = std::time(nullptr);
        std::string line;
        std::error_code error;
        if (!AppendRecord(log, MakeUpdateRecord(image, turn, std::time(nullptr)), line, error))
        {
            std::fprintf(stderr, "append %d: %s\n", i, error.message().c_str());
            return 1;
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%d appends in %.3f s: %.1f us per append\n", count, seconds, seconds / count * 1e6);
    return 0;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

int Tamper(const std::filesystem::path& log, std::size_t samples)
{
    std::ifstream in(log, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    if (!VerifyRecordLines(Lines(text)).empty())
    {
        std::fprintf(stderr, "the record does not verify as it is\n");
        return 1;
    }
    const std::size_t step = samples == 0 || samples >= text.size() ? 1 : text.size() / samples;
    std::size_t tried = 0;
    std::size_t reported = 0;
    std::map<std::string, std::size_t> missedBy; // the key whose value held a missed change
    for (std::size_t at = 0; at < text.size(); at += step)
    {
        std::string changed = text;
        // A printable byte for a printable one, so the change is one a hand edit makes.
        changed[at] = char(changed[at] == 'x' ? 'y' : 'x');
        ++tried;
        if (!VerifyRecordLines(Lines(changed)).empty())
        {
            ++reported;
            continue;
        }
        const std::size_t lineStart =
            text.rfind('\n', at) == std::string::npos ? 0 : text.rfind('\n', at) + 1;
        const std::size_t key = text.rfind("\":", at);
        const std::size_t open = key == std::string::npos ? std::string::npos : text.rfind('"', key - 1);
        missedBy[open == std::string::npos || open < lineStart ? "(line end)"
                                                               : text.substr(open + 1, key - open - 1)]++;
    }
    std::printf("%zu single-byte changes, %zu reported, %zu missed\n", tried, reported, tried - reported);
    for (const auto& [key, count] : missedBy)
        std::printf("  missed in %s: %zu\n", key.c_str(), count);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "append" && argc == 4)
        return Append(argv[2], std::atoi(argv[3]));
    if (mode == "tamper" && (argc == 3 || argc == 4))
        return Tamper(argv[2], argc == 4 ? std::size_t(std::atol(argv[3])) : 0);
    std::fprintf(stderr, "usage: benchmark_record append LOG N | tamper LOG [N]\n");
    return 2;
}

// Loads and walks a 5 MiB CCF file with 10,000 IR buttons, as the code selection
// dialog does when a file is chosen, and reports the times. Then walks the files that
// are built to cost a reader most: 65,025 keys from 7 KB, frames nested 100,000 deep,
// and a fan-out of 255^4 keys that only the walk's budget stops.

#include "ir/CcfReader.h"
#include "tools/fixtures/CcfBuilder.h"
#include "tools/fixtures/TempDir.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <vector>

using namespace corvalin;
using namespace corvalin::fixtures;

namespace
{

constexpr int kButtons = 10000;
constexpr std::size_t kFileSize = 5 * 1024 * 1024;
constexpr int kRounds = 15;

double Milliseconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

struct CTimes
{
    std::vector<double> m_load;
    std::vector<double> m_walk;
    std::size_t m_keys = 0;
};

CTimes Measure(const std::filesystem::path& path, bool withTrace)
{
    CTimes times;
    for (int round = 0; round < kRounds; ++round)
    {
        std::ostringstream trace;
        CcfReader reader(withTrace ? &trace : nullptr);
        auto start = std::chrono::steady_clock::now();
        if (!reader.Load(path))
        {
            std::fprintf(stderr, "benchmark_ccf_walk: cannot load %s\n", path.string().c_str());
            return times;
        }
        auto loaded = std::chrono::steady_clock::now();
        reader.Walk();
        auto walked = std::chrono::steady_clock::now();
        times.m_load.push_back(Milliseconds(loaded - start));
        times.m_walk.push_back(Milliseconds(walked - loaded));
        times.m_keys = reader.Keys().size();
    }
    return times;
}

void Report(const char* what, std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    std::printf("  %-28s min %7.2f ms   median %7.2f ms   max %7.2f ms\n", what, values.front(),
                values[values.size() / 2], values.back());
}

void MeasureHostile(const char* what, const Bytes& bytes)
{
    constexpr int kHostileRounds = 3;
    std::vector<double> walks;
    std::size_t keys = 0;
    bool cut = false;
    for (int round = 0; round < kHostileRounds; ++round)
    {
        CcfReader reader(nullptr);
        reader.LoadBytes(bytes.data(), bytes.size());
        auto start = std::chrono::steady_clock::now();
        reader.Walk();
        walks.push_back(Milliseconds(std::chrono::steady_clock::now() - start));
        keys = reader.Keys().size();
        cut = reader.WalkCutShort();
    }
    std::printf("%s: %zu bytes, %zu keys%s, trace discarded:\n", what, bytes.size(), keys,
                cut ? " (walk stopped by its budget)" : "");
    Report("Walk", walks);
}

} // namespace

int main()
{
    CTempDir dir;
    std::filesystem::path path = dir / "large.ccf";
    Bytes bytes = BuildLargeCcf(kButtons, kFileSize);
    WriteFileBytes(path, bytes);
    std::printf("CCF load and walk: %zu bytes, %d buttons, %d rounds\n", bytes.size(), kButtons, kRounds);

    for (bool withTrace : {false, true})
    {
        CTimes times = Measure(path, withTrace);
        if (times.m_load.empty())
            return 1;
        std::vector<double> total(times.m_load.size());
        for (std::size_t i = 0; i < total.size(); ++i)
            total[i] = times.m_load[i] + times.m_walk[i];
        std::printf("trace %s, %zu keys:\n", withTrace ? "into memory" : "discarded", times.m_keys);
        Report("Load", times.m_load);
        Report("Walk", times.m_walk);
        Report("Load + Walk", total);
    }
    MeasureHostile("wide", BuildWideCcf());
    MeasureHostile("deep", BuildDeepCcf(100000));
    MeasureHostile("fan-out", BuildFanOutCcf(4));
    return 0;
}

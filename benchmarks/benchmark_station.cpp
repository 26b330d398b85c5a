// The station with many boxes at once: 1, 8 and 32 corvalin-boxsim paced at 129310
// baud 8N1, each published as a bridge of one map directory and all plugged in
// together, sent a 256 KiB image. For each count: the wall time from the first look
// until the last box said "Update complete", its ratio to one box alone, the
// station's CPU time per box (the simulators are processes of their own and not
// counted) and the memory the program holds at the end. Fast transfer by default,
// where the tool's own work weighs most; --box-timing uses the box's read timing.
//
//   benchmark_station [--box-timing] [COUNT...]

#include "device/PresenceTiming.h"
#include "device/Station.h"
#include "tools/fixtures/BoxSim.h"
#include "tools/fixtures/ImageBuilder.h"
#include "tools/fixtures/TempDir.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <sys/resource.h>

using namespace corvalin;
using namespace corvalin::fixtures;
using Clock = std::chrono::steady_clock;

namespace
{

constexpr std::size_t kBody = 256 * 1024;

// Counts the boxes that said "Update complete" and notes when the last one did.
class CCompletionClock : public IStationListener
{
  public:
    void OnText(const CStationSlot&, const std::string& text) override
    {
        if (text != "Update complete")
            return;
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_nCompleted;
        m_last = Clock::now();
    }
    void OnFinished(const CStationSlot&) override {}
    int Completed()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_nCompleted;
    }
    Clock::time_point Last()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_last;
    }

  private:
    std::mutex m_mutex;
    int m_nCompleted = 0;
    Clock::time_point m_last;
};

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The resident memory of this process now, in KiB.
long ResidentKiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
    {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return 0;
}

struct CRun
{
    double dWallSeconds = 0;
    double dCpuSeconds = 0;
    long nResidentKiB = 0;
    int nFinished = 0;
    int nCompleted = 0;
};

CRun RunStation(int boxes, bool fast, const Bytes& image)
{
    CTempDir dir;
    const std::string map = (dir / "map").string();
    std::vector<std::unique_ptr<CBoxSim>> sims;
    for (int i = 0; i < boxes; ++i)
    {
        sims.push_back(std::make_unique<CBoxSim>(
            CORVALIN_BOXSIM_PATH,
            std::vector<std::string>{"--baud", "129310", "--map-dir", map, "--map-name",
                                     "Silabser" + std::to_string(i), "--number", std::to_string(i)}));
        if (sims.back()->Path().empty())
        {
            std::fprintf(stderr, "benchmark_station: simulator %d did not start\n", i);
            std::exit(1);
        }
    }
    setenv("CORVALIN_SERIAL_MAP", map.c_str(), 1);

    CLinkTiming timing;
    timing.m_bFastTransfer = fast;
    CCompletionClock clock;
    CRun run;
    const double cpuBefore = CpuSeconds();
    const Clock::time_point start = Clock::now();
    {
        CStation station(image, timing, clock);
        // Looks as the station command does, every half second, until every turn ended.
        Clock::time_point nextLook = start;
        while (station.Finished() < boxes)
        {
            station.Look();
            nextLook += std::chrono::milliseconds(kPresencePollMs);
            while (Clock::now() < nextLook && station.Finished() < boxes && clock.Completed() < boxes)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        run.nResidentKiB = ResidentKiB();
        run.nFinished = station.Finished();
        run.nCompleted = station.Completed();
    }
    run.dWallSeconds = std::chrono::duration<double>(clock.Last() - start).count();
    run.dCpuSeconds = CpuSeconds() - cpuBefore;
    unsetenv("CORVALIN_SERIAL_MAP");
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    bool fast = true;
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i)
    {
        if (std::string(argv[i]) == "--box-timing")
            fast = false;
        else if (const int count = std::atoi(argv[i]); count > 0)
            counts.push_back(count);
        else
        {
            std::fprintf(stderr, "usage: benchmark_station [--box-timing] [COUNT...]\n");
            return 2;
        }
    }
    if (counts.empty())
        counts = {1, 8, 32};
    // Every ratio is to one box alone, so that run comes first.
    if (counts.front() != 1)
        counts.insert(counts.begin(), 1);

    CImageSpec imageSpec;
    imageSpec.bodySize = kBody;
    const Bytes image = BuildImageFile(imageSpec);
    std::printf("station, %s, 256 KiB image, simulators paced at 129310 baud\n",
                fast ? "fast transfer" : "the box's read timing");
    double alone = 0;
    for (int boxes : counts)
    {
        CRun run = RunStation(boxes, fast, image);
        if (boxes == 1)
            alone = run.dWallSeconds;
        std::printf("%3d boxes: %d of %d updated, %.2f s from the first look, ratio to one box %.3f, "
                    "CPU %.3f s per box, %ld KiB resident\n",
                    boxes, run.nCompleted, run.nFinished, run.dWallSeconds, run.dWallSeconds / alone,
                    run.dCpuSeconds / boxes, run.nResidentKiB);
    }
    return 0;
}

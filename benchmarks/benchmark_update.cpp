// A whole update by the worker thread (StartUpdate to "Update complete") of a 256 KiB
// image against corvalin-boxsim paced at 129310 baud 8N1, reported as wall time
// divided by the line's own time for all bytes both ways, with the box's own read
// timing (the default) and with fast transfer. The completion chime is not played.

#include "device/Updater.h"
#include "tools/fixtures/BoxSim.h"
#include "tools/fixtures/ImageBuilder.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

using namespace corvalin;
using namespace corvalin::fixtures;
using Clock = std::chrono::steady_clock;

namespace
{

constexpr double kBaud = 129310.0;
constexpr std::size_t kBody = 256 * 1024;

class CQuietOutputs : public IStatusControl, public IProgressControl, public IUpdateNotices
{
  public:
    void SetText(const std::string& text) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_strLast = text;
    }
    void SetRange(int, int) override {}
    void SetPos(int) override {}
    void SetBarColor(uint32_t) override {}
    void ShowMessage(const std::string&) override {}
    void PlayCompletionSound(const std::atomic<bool>&) override {}
    std::string Last()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_strLast;
    }

  private:
    std::mutex m_mutex;
    std::string m_strLast;
};

// One update from StartUpdate to its end; 0 when it completed.
int TimedUpdate(bool fast)
{
    CBoxSim box(CORVALIN_BOXSIM_PATH, {"--baud", "129310"});
    CQuietOutputs outputs;
    CLinkTiming timing;
    timing.m_bFastTransfer = fast;
    CUpdater updater(timing);
    updater.AttachControls(&outputs, &outputs, &outputs);
    CImageSpec imageSpec;
    imageSpec.bodySize = kBody;
    Bytes file = BuildImageFile(imageSpec);
    if (box.Path().empty() || updater.LoadImageBuffer(file.data(), file.size()) != 1 ||
        !updater.UsePortPath(box.Path()))
    {
        std::fprintf(stderr, "benchmark_update: cannot set up\n");
        return 1;
    }
    updater.StartThread();
    const int blocks = updater.Image().Blocks();

    auto start = Clock::now();
    updater.StartUpdate(0);
    while (updater.IsUpdating())
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    double took = std::chrono::duration<double>(Clock::now() - start).count();
    if (outputs.Last() != "Update complete")
    {
        std::fprintf(stderr, "benchmark_update: update ended with \"%s\"\n", outputs.Last().c_str());
        return 1;
    }

    double bytes = (11 + 6) + double(blocks + 1) * (519 + 6) + (525 + 6) + (6 + 6);
    double line = bytes * 10 / kBaud;
    std::printf("256 KiB update by the worker at 129310 baud, %s: wall %.3f s, line %.3f s, ratio %.3f\n",
                fast ? "fast transfer" : "box's read timing", took, line, took / line);
    return 0;
}

} // namespace

int main()
{
    int failed = 0;
    for (bool fast : {false, true})
        failed |= TimedUpdate(fast);
    return failed;
}

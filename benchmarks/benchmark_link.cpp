// Speed of the boot loader exchanges against corvalin-boxsim on a pseudo-terminal:
//  1. XFER exchanges per second with an unpaced box (the link's own overhead);
//  2. a 256 KiB transfer (INIT, XFER of every block, PREP, CLOSE) with the box paced
//     at 129310 baud 8N1 and no flash time, as wall time divided by the line's own
//     time for the bytes both ways.
// Each with the box's own read timing (the default) and with fast transfer.

#include "device/BootLoaderLink.h"
#include "device/BoxPort.h"
#include "image/FirmwareImage.h"
#include "tools/fixtures/BoxSim.h"
#include "tools/fixtures/ImageBuilder.h"

#include <chrono>
#include <cstdio>

using namespace corvalin;
using namespace corvalin::fixtures;
using Clock = std::chrono::steady_clock;

namespace
{

constexpr double kBaud = 129310.0;
constexpr std::size_t kTransferBody = 256 * 1024;

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// The link to the box at `path` with an image of `bodySize` body bytes to send.
struct CBenchLink
{
    CBenchLink(const CLinkTiming& timing, const std::string& path, std::size_t bodySize)
        : port(timing), link(port.Bytes(), timing, stop)
    {
        CImageSpec imageSpec;
        imageSpec.bodySize = bodySize;
        const Bytes file = BuildImageFile(imageSpec);
        port.SetPath(path);
        bOk = !path.empty() && image.LoadBuffer(file.data(), file.size(), [](const std::string&) {}) == 1 &&
              port.Open();
    }
    bool Init() { return link.Init(GetHardwareCode(image.Header()), image.Blocks()) == EExchangeResult::Ok; }
    bool Xfer() { return link.Xfer(image.Body(), image.BodySize()) == EExchangeResult::Ok; }

    CBoxPort port;
    std::atomic<bool> stop{false};
    CBootLoaderLink link;
    CFirmwareImage image;
    bool bOk = false;
};

const char* RuleName(bool fast)
{
    return fast ? "fast transfer" : "box's read timing";
}

int ExchangesPerSecond(bool fast)
{
    CBoxSim box(CORVALIN_BOXSIM_PATH, {});
    CLinkTiming timing;
    timing.m_bFastTransfer = fast;
    // Each exchange waits out the 100 ms quiet time without fast transfer.
    const int kBlocks = fast ? 2000 : 30;
    CBenchLink bench(timing, box.Path(), std::size_t(kBlocks) * 512);
    if (!bench.bOk || !bench.Init())
        return 1;
    auto start = Clock::now();
    for (int i = 0; i < kBlocks; ++i)
    {
        if (!bench.Xfer())
            return 1;
    }
    double took = Seconds(Clock::now() - start);
    std::printf("XFER exchanges, unpaced box, %s: %d in %.3f s = %.1f per second\n", RuleName(fast), kBlocks,
                took, kBlocks / took);
    return 0;
}

int PacedTransfer(bool fast)
{
    CBoxSim box(CORVALIN_BOXSIM_PATH, {"--baud", "129310", "--flash-ms", "0"});
    CLinkTiming timing;
    timing.m_bFastTransfer = fast;
    CBenchLink bench(timing, box.Path(), kTransferBody);
    if (!bench.bOk)
        return 1;
    const int blocks = bench.image.Blocks();
    auto start = Clock::now();
    if (!bench.Init())
        return 1;
    for (int b = 0; b <= blocks; ++b)
    {
        if (!bench.Xfer())
            return 1;
    }
    if (bench.link.Prep(bench.image.Header(), 0x20261210u) != EExchangeResult::Ok ||
        bench.link.Close() != EExchangeResult::Ok)
        return 1;
    double took = Seconds(Clock::now() - start);

    // Command plus a 6-byte reply per exchange.
    double bytes = (11 + 6) + double(blocks + 1) * (519 + 6) + (525 + 6) + (6 + 6);
    double line = bytes * 10 / kBaud;
    std::printf("256 KiB transfer at 129310 baud, %s: wall %.3f s, line %.3f s, ratio %.3f\n", RuleName(fast),
                took, line, took / line);
    return 0;
}

} // namespace

int main()
{
    int failed = 0;
    for (bool fast : {false, true})
        failed |= ExchangesPerSecond(fast);
    for (bool fast : {false, true})
        failed |= PacedTransfer(fast);
    if (failed)
        std::fprintf(stderr, "benchmark_link: an exchange failed\n");
    return failed;
}

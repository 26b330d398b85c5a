// Scanning a bundle of 20 products of 2 MiB (what the "..." button does) against
// `unzip -t` of the same file, which inflates and checks every member too.

#include "image/BundleLoader.h"
#include "tools/fixtures/ImageBuilder.h"
#include "tools/fixtures/ProcessRunner.h"
#include "tools/fixtures/TempDir.h"
#include "tools/fixtures/ZipWriter.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <sstream>

using namespace corvalin;
using namespace corvalin::fixtures;

namespace
{

constexpr int kProducts = 20;
constexpr std::size_t kProductSize = 2u * 1024u * 1024u;
constexpr int kRuns = 7;

double MedianMilliseconds(const std::function<void()>& work)
{
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i)
    {
        auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::string FindOnPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':'))
    {
        std::filesystem::path candidate = std::filesystem::path(dir) / program;
        if (std::filesystem::exists(candidate))
            return candidate.string();
    }
    return {};
}

void Measure(const char* label, const std::filesystem::path& bundle, const std::string& unzip)
{
    int listed = 0;
    double scan = MedianMilliseconds(
        [&]
        {
            CImageHolder holder;
            listed = int(OpenBundleOrImageFile(holder, bundle, 0, {}).m_products.size());
        });
    std::printf("%-9s bundle %6.1f MiB: scan %8.1f ms (%d products)", label,
                double(std::filesystem::file_size(bundle)) / (1024.0 * 1024.0), scan, listed);
    if (unzip.empty())
    {
        std::printf(", unzip not found\n");
        return;
    }
    int status = 0;
    double test = MedianMilliseconds([&] { status = RunProcess(unzip, {"-tqq", bundle.string()}).exitCode; });
    std::printf(", unzip -t %8.1f ms (exit %d), scan/unzip %.2f\n", test, status, scan / test);
}

} // namespace

int main()
{
    try
    {
        CTempDir dir;
        std::vector<CZipMember> deflated{{"image.info", {}}};
        std::vector<CZipMember> stored{{"image.info", {}}};
        for (int i = 0; i < kProducts; ++i)
        {
            CImageSpec imageSpec;
            imageSpec.name = "PRODUCT " + std::to_string(i);
            imageSpec.params = RealisticParameters(i % 2 == 0);
            std::string name = "product" + std::to_string(i) + ".enc";
            std::size_t bodySize = kProductSize - 444;
            deflated.emplace_back(
                name, BuildImageFileWithBody(imageSpec, MakeCompressibleBody(bodySize, uint32_t(i))));
            imageSpec.bodySize = bodySize;
            imageSpec.bodySeed = uint32_t(i);
            stored.emplace_back(name, BuildImageFile(imageSpec), false);
        }
        WriteZip(dir / "deflated.zip", deflated);
        WriteZip(dir / "stored.zip", stored);

        std::string unzip = FindOnPath("unzip");
        std::printf("median of %d runs, %d products of %zu bytes\n", kRuns, kProducts, kProductSize);
        Measure("deflated", dir / "deflated.zip", unzip);
        Measure("stored", dir / "stored.zip", unzip);
    }
    catch (const std::exception& error)
    {
        std::fprintf(stderr, "benchmark_bundle_scan: %s\n", error.what());
        return 1;
    }
    return 0;
}

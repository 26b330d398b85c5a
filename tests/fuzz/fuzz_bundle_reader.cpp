// Any bytes as the file chosen with "...": opened as a bundle (archive, marker,
// product scan) or else as a bare image; then every listed product is chosen, by
// its list entry and by its name. The bytes live in a memory file, opened by path.

#include "image/BundleLoader.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

using namespace corvalin;

namespace
{

int MemoryFile()
{
    static const int fd = memfd_create("corvalin-fuzz-bundle", MFD_CLOEXEC);
    if (fd < 0)
        std::abort();
    return fd;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const int fd = MemoryFile();
    if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size))
        std::abort();
    const std::filesystem::path path = "/proc/self/fd/" + std::to_string(fd);

    CImageHolder holder;
    const CBundleOpenOutcome opened = OpenBundleOrImageFile(holder, path, 0, {});
    if (!opened.m_bIsBundle && !opened.m_products.empty())
        std::abort();
    for (const CBundleProduct& product : opened.m_products)
    {
        // A listed member loads again, and it is the product the scan accepted.
        const CProductSelectOutcome chosen = SelectBundleProduct(holder, path, product, 0);
        if (chosen.m_nResult != EProductLoad::Loaded ||
            GetHardwareCode(holder.Header()) != kBundleHardwareCode)
            std::abort();
        SelectBundleProductByName(holder, path, product.m_strName, 1);
    }
    return 0;
}

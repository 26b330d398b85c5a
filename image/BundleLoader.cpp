#include "image/BundleLoader.h"

#include "image/BundleArchive.h"

#include <algorithm>
#include <memory>
#include <new>

namespace corvalin
{

namespace
{

// The bundle texts that the window's status line shows.
constexpr const char* kLoadingBundle = "Loading bundle";
constexpr const char* kBundleLoaded = "Bundle loaded";
constexpr const char* kWrongBundleFile = "Wrong bundle file";
constexpr const char* kLoadedUpdateFile = "Loaded update file";
constexpr const char* kWrongImageFile = "Wrong image file";
constexpr const char* kUnableToLoadBundle = "Unable to load bundle";

constexpr const char* kMarkerName = "image.info";
constexpr const char* kCandidateMark = "enc";

// Takes entry `index` out of the archive into a buffer of its size. Null when the
// member is declared larger than any image can be, or is damaged; such a member
// is never allocated beyond that bound.
std::unique_ptr<uint8_t[]> TakeMember(BundleArchive& archive, int index, uint64_t size)
{
    if (size > kMaxBundleMemberSize)
        return nullptr;
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[size == 0 ? 1 : std::size_t(size)]);
    if (!buffer || archive.ExtractToMemory(index, buffer.get(), size) != kArchiveOk)
        return nullptr;
    return buffer;
}

// Hands every candidate to the image loader and collects the accepted products.
// Tells whether the held image was replaced on the way.
std::vector<std::string> ScanProducts(CUpdater& updater, BundleArchive& archive, bool& heldImageReplaced)
{
    std::vector<std::string> products;
    heldImageReplaced = false;
    int count = archive.EntryCount();
    for (int i = 0; i < count; ++i)
    {
        CArchiveEntry entry;
        if (archive.GetEntry(i, entry) != kArchiveOk ||
            entry.m_strName.find(kCandidateMark) == std::string::npos)
            continue;
        std::unique_ptr<uint8_t[]> buffer = TakeMember(archive, i, entry.m_nSize);
        if (!buffer)
            continue;

        // The loader either keeps the held body or puts a freshly allocated one in
        // its place while the old one still lives, so a new address means a new image.
        const uint8_t* bodyBefore = updater.Image().Body();
        int accepted = updater.LoadImageBuffer(buffer.get(), std::size_t(entry.m_nSize));
        if (updater.Image().Body() != bodyBefore)
            heldImageReplaced = true;
        if (accepted == 1 && GetHardwareCode(updater.Header()) == kBundleHardwareCode)
            products.push_back(entry.m_strName);
    }
    // The product list is a sorted drop-down list.
    std::sort(products.begin(), products.end());
    return products;
}

} // namespace

CBundleOpenOutcome OpenBundleOrImageFile(CUpdater& updater, const std::filesystem::path& path,
                                         int imageLoaded, const IrHandOffFn& irHandOff)
{
    CBundleOpenOutcome outcome;
    outcome.m_bImageLoaded = imageLoaded;

    BundleArchive archive;
    bool isArchive = archive.Open(path) == kArchiveOk;
    updater.SetStatus(kLoadingBundle);

    if (!isArchive)
    {
        outcome.m_bProductListEnabled = false;
        outcome.m_bImageLoaded = updater.LoadImageFile(path);
        updater.SetStatus(outcome.m_bImageLoaded == 1 ? kLoadedUpdateFile : kWrongImageFile);
    }
    else
    {
        outcome.m_bIsBundle = true;
        outcome.m_bProductListEnabled = true;
        int markerIndex = 0;
        CArchiveEntry marker;
        if (archive.FindEntry(kMarkerName, true, markerIndex, marker) == kArchiveOk)
        {
            bool heldImageReplaced = false;
            outcome.m_products = ScanProducts(updater, archive, heldImageReplaced);
            if (heldImageReplaced)
                outcome.m_bImageLoaded = 0;
        }
        if (!outcome.m_products.empty())
            updater.SetStatus(kBundleLoaded);
        else
        {
            outcome.m_bProductListEnabled = false;
            updater.SetStatus(kWrongBundleFile);
        }
        archive.Close();
    }

    if (irHandOff)
        irHandOff();
    return outcome;
}

CProductSelectOutcome SelectBundleProduct(CUpdater& updater, const std::filesystem::path& bundlePath,
                                          const std::string& product, int imageLoaded)
{
    CProductSelectOutcome outcome;
    outcome.m_bImageLoaded = imageLoaded;

    BundleArchive archive;
    bool opened = archive.Open(bundlePath) == kArchiveOk;
    updater.SetStatus(kLoadingBundle);
    if (!opened)
    {
        updater.SetStatus(kUnableToLoadBundle);
        outcome.m_nResult = ProductLoad::CannotOpenBundle;
        outcome.m_bImageLoaded = 0;
        return outcome;
    }

    int index = 0;
    CArchiveEntry entry;
    if (archive.FindEntry(product, true, index, entry) != kArchiveOk)
    {
        outcome.m_nResult = ProductLoad::NotFound;
        return outcome;
    }
    std::unique_ptr<uint8_t[]> buffer = TakeMember(archive, index, entry.m_nSize);
    if (!buffer)
    {
        outcome.m_nResult = ProductLoad::Unreadable;
        return outcome;
    }
    outcome.m_bImageLoaded = updater.LoadImageBuffer(buffer.get(), std::size_t(entry.m_nSize));
    outcome.m_nResult = outcome.m_bImageLoaded ? ProductLoad::Loaded : ProductLoad::Refused;
    outcome.m_bRefreshWindow = outcome.m_bImageLoaded != 0;
    return outcome;
}

} // namespace corvalin

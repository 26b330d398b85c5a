#include "image/BundleLoader.h"

#include "image/BundleArchive.h"
#include "image/DisplayText.h"

#include <algorithm>
#include <functional>
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
    if (!buffer || archive.ExtractToMemory(index, buffer.get(), size) != EArchiveResult::Ok)
        return nullptr;
    return buffer;
}

// Offers every candidate to `accept` and lists those it takes, in the order of a
// sorted drop-down list.
std::vector<CBundleProduct> ListProducts(BundleArchive& archive,
                                         const std::function<bool(const uint8_t*, std::size_t)>& accept)
{
    std::vector<CBundleProduct> products;
    int count = archive.EntryCount();
    for (int i = 0; i < count; ++i)
    {
        CArchiveEntry entry;
        if (archive.GetEntry(i, entry) != EArchiveResult::Ok ||
            entry.m_strName.find(kCandidateMark) == std::string::npos)
            continue;
        std::unique_ptr<uint8_t[]> buffer = TakeMember(archive, i, entry.m_nSize);
        if (buffer && accept(buffer.get(), std::size_t(entry.m_nSize)))
            products.push_back({entry.m_strName, i, entry.m_strStoredName});
    }
    std::sort(products.begin(), products.end(),
              [](const CBundleProduct& a, const CBundleProduct& b)
              {
                  if (a.m_strName != b.m_strName)
                      return EntryNameBefore(a.m_strName, b.m_strName);
                  return a.m_nIndex < b.m_nIndex;
              });
    return products;
}

// Hands every candidate to the holder's image loader and lists the accepted products.
// Tells whether the held image was replaced on the way.
std::vector<CBundleProduct> ScanProducts(IImageHolder& holder, BundleArchive& archive,
                                         bool& heldImageReplaced)
{
    heldImageReplaced = false;
    return ListProducts(archive,
                        [&](const uint8_t* bytes, std::size_t size)
                        {
                            // The loader either keeps the held body or puts a freshly allocated one in
                            // its place while the old one still lives, so a new address means a new image.
                            const uint8_t* bodyBefore = holder.Image().Body();
                            int accepted = holder.LoadImageBuffer(bytes, size);
                            if (holder.Image().Body() != bodyBefore)
                                heldImageReplaced = true;
                            return accepted == 1 &&
                                   GetHardwareCode(holder.Image().Header()) == kBundleHardwareCode;
                        });
}

// The same list, tested on an image of its own, so the held image and the status
// line are left alone.
std::vector<CBundleProduct> ListProductsQuietly(BundleArchive& archive)
{
    return ListProducts(archive,
                        [](const uint8_t* bytes, std::size_t size)
                        {
                            CFirmwareImage image;
                            return image.LoadBuffer(bytes, size, [](const std::string&) {}) == 1 &&
                                   GetHardwareCode(image.Header()) == kBundleHardwareCode;
                        });
}

// Opens the bundle for a product choice; "Unable to load bundle" when it cannot.
bool OpenForChoice(IImageHolder& holder, BundleArchive& archive, const std::filesystem::path& bundlePath,
                   CProductSelectOutcome& outcome)
{
    bool opened = archive.Open(bundlePath) == EArchiveResult::Ok;
    holder.SetStatus(kLoadingBundle);
    if (!opened)
    {
        holder.SetStatus(kUnableToLoadBundle);
        outcome.m_nResult = EProductLoad::CannotOpenBundle;
        outcome.m_bImageLoaded = 0;
    }
    return opened;
}

// Ends a choice that found no member to load: no image counts as loaded any more,
// since the held one is not the product the list now shows.
void FailChoice(IImageHolder& holder, EProductLoad result, CProductSelectOutcome& outcome)
{
    holder.SetStatus(kUnableToLoadBundle);
    outcome.m_nResult = result;
    outcome.m_bImageLoaded = 0;
}

// Loads member `index` as the chosen product's image.
void LoadChosenMember(IImageHolder& holder, BundleArchive& archive, int index, CProductSelectOutcome& outcome)
{
    CArchiveEntry entry;
    std::unique_ptr<uint8_t[]> buffer;
    if (archive.GetEntry(index, entry) == EArchiveResult::Ok)
        buffer = TakeMember(archive, index, entry.m_nSize);
    if (!buffer)
    {
        FailChoice(holder, EProductLoad::Unreadable, outcome);
        return;
    }
    outcome.m_bImageLoaded = holder.LoadImageBuffer(buffer.get(), std::size_t(entry.m_nSize));
    outcome.m_nResult = outcome.m_bImageLoaded ? EProductLoad::Loaded : EProductLoad::Refused;
    outcome.m_bRefreshWindow = outcome.m_bImageLoaded != 0;
    outcome.m_strProductName = MemberNameText(entry.m_strName);
}

} // namespace

CBundleOpenOutcome OpenBundleOrImageFile(IImageHolder& holder, const std::filesystem::path& path,
                                         int imageLoaded, const IrHandOffFn& irHandOff)
{
    CBundleOpenOutcome outcome;
    outcome.m_bImageLoaded = imageLoaded;

    BundleArchive archive;
    bool isArchive = archive.Open(path) == EArchiveResult::Ok;
    holder.SetStatus(kLoadingBundle);

    if (!isArchive)
    {
        outcome.m_bProductListEnabled = false;
        outcome.m_bImageLoaded = holder.LoadImageFile(path);
        holder.SetStatus(outcome.m_bImageLoaded == 1 ? kLoadedUpdateFile : kWrongImageFile);
    }
    else
    {
        outcome.m_bIsBundle = true;
        outcome.m_bProductListEnabled = true;
        int markerIndex = 0;
        CArchiveEntry marker;
        if (archive.FindEntry(kMarkerName, true, markerIndex, marker) == EArchiveResult::Ok)
        {
            bool heldImageReplaced = false;
            outcome.m_products = ScanProducts(holder, archive, heldImageReplaced);
            if (heldImageReplaced)
                outcome.m_bImageLoaded = 0;
        }
        if (!outcome.m_products.empty())
            holder.SetStatus(kBundleLoaded);
        else
        {
            outcome.m_bProductListEnabled = false;
            holder.SetStatus(kWrongBundleFile);
        }
        archive.Close();
    }

    if (irHandOff)
        irHandOff();
    return outcome;
}

CProductSelectOutcome SelectBundleProduct(IImageHolder& holder, const std::filesystem::path& bundlePath,
                                          const CBundleProduct& product, int imageLoaded)
{
    CProductSelectOutcome outcome;
    outcome.m_bImageLoaded = imageLoaded;
    BundleArchive archive;
    if (!OpenForChoice(holder, archive, bundlePath, outcome))
        return outcome;

    // The member the entry came from; should the file have changed since it was
    // listed, the first member still stored under exactly that name.
    int index = product.m_nIndex;
    CArchiveEntry entry;
    if (archive.GetEntry(index, entry) != EArchiveResult::Ok ||
        entry.m_strStoredName != product.m_strStoredName)
    {
        if (archive.FindEntry(product.m_strStoredName, false, index, entry) != EArchiveResult::Ok)
        {
            FailChoice(holder, EProductLoad::NotFound, outcome);
            return outcome;
        }
    }
    LoadChosenMember(holder, archive, index, outcome);
    return outcome;
}

CProductSelectOutcome SelectBundleProductByName(IImageHolder& holder, const std::filesystem::path& bundlePath,
                                                const std::string& name, int imageLoaded)
{
    CProductSelectOutcome outcome;
    outcome.m_bImageLoaded = imageLoaded;
    BundleArchive archive;
    if (!OpenForChoice(holder, archive, bundlePath, outcome))
        return outcome;

    int index = -1;
    CArchiveEntry entry;
    if (archive.FindEntry(name, false, index, entry) != EArchiveResult::Ok)
    {
        std::vector<CBundleProduct> matches;
        for (const CBundleProduct& product : ListProductsQuietly(archive))
            if (EntryNamesEqual(product.m_strName, name, true) ||
                EntryNamesEqual(product.m_strStoredName, name, true))
                matches.push_back(product);
        if (matches.size() != 1)
        {
            FailChoice(holder, matches.empty() ? EProductLoad::NotFound : EProductLoad::Ambiguous, outcome);
            return outcome;
        }
        index = matches.front().m_nIndex;
    }
    LoadChosenMember(holder, archive, index, outcome);
    return outcome;
}

} // namespace corvalin

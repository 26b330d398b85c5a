#pragma once
// Opening an update bundle or a bare image file, and taking a product's image out of
// a bundle: the work behind the window's "..." button and its product list, without
// the window, so that corvalin-cli runs exactly the same steps.
//
// A bundle is a ZIP archive that holds a member named "image.info" (letter case
// ignored, content unused). Every member whose name contains "enc" (letter case
// minded) is a candidate; it is a product when the image loader accepts it and its
// hardware code is 00010000 hex. A product is shown under its member name.
//
// The image held after a scan: each candidate that could be read is handed to the
// loader, so the update worker holds the last one the loader took (any of at least
// 512 bytes), accepted or not; the parameter list and the IR code hand-off act on it
// until a product is chosen. That image was not chosen by the user, so when a scan replaces the held
// image the image-loaded flag drops to 0: "Update" and storing wait for a product.
// A scan that hands nothing to the loader keeps the held image and the flag.

#include "image/FirmwareImage.h"
#include "image/ImageHolder.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace corvalin
{

// The hardware code of the images a bundle offers.
constexpr uint32_t kBundleHardwareCode = 0x00010000u;

// A member declared larger than the largest acceptable image is never allocated.
constexpr uint64_t kMaxBundleMemberSize = uint64_t(kHeaderSize) + kMaxBodySize;

// The IR code hand-off run at the end of every opening; it works on the holder's
// image. Empty when there is none (corvalin-cli).
using IrHandOffFn = std::function<void()>;

// One entry of the product list: the name it shows and the exact member it came
// from, so that choosing it loads that member whatever other members are called.
struct CBundleProduct
{
    std::string m_strName;       // the member's name as listed (cleaned up)
    int m_nIndex = -1;           // the member's index in the archive
    std::string m_strStoredName; // the member's name as stored, byte for byte
};

// What the window shows after a file was opened.
struct CBundleOpenOutcome
{
    bool m_bIsBundle = false;               // the file opened as a ZIP archive
    bool m_bProductListEnabled = false;     // the product list is enabled, else disabled
    std::vector<CBundleProduct> m_products; // the product list's new content, sorted
    int m_bImageLoaded = 0;                 // the window's image-loaded flag from now on
};

// The steps of the "..." button after the file dialog returned `path`: opens it as
// a bundle and lists its products, or loads it as a bare image file; status texts go
// to the holder's status line. `imageLoaded` is the window's flag before the call.
// Runs `irHandOff` last. The window then puts the path into the bundle-path box,
// applies the outcome, refreshes "Update" and rebuilds the parameter list.
CBundleOpenOutcome OpenBundleOrImageFile(IImageHolder& holder, const std::filesystem::path& path,
                                         int imageLoaded, const IrHandOffFn& irHandOff);

enum class EProductLoad
{
    Loaded,           // the product's image is held and accepted
    Refused,          // the image loader refused it (its own status text says why)
    NotFound,         // no such member
    Ambiguous,        // the name fits more than one listed product
    Unreadable,       // the member is too large, damaged or cannot be inflated
    CannotOpenBundle, // the bundle path is not an openable ZIP archive
};

struct CProductSelectOutcome
{
    EProductLoad m_nResult = EProductLoad::NotFound;
    int m_bImageLoaded = 0;        // the window's image-loaded flag from now on
    bool m_bRefreshWindow = false; // rebuild the parameter list: a product was loaded
    std::string m_strProductName;  // the loaded member's name as the product list shows it
};

// A product of the list was chosen: opens `bundlePath` afresh and loads the member
// the entry came from (its hardware code is not tested again, and no IR code hand-off
// runs). Choosing the same product again reloads it, discarding edits. When the
// member is gone or cannot be read, the status line says "Unable to load bundle" and
// no image counts as loaded.
CProductSelectOutcome SelectBundleProduct(IImageHolder& holder, const std::filesystem::path& bundlePath,
                                          const CBundleProduct& product, int imageLoaded);

// A product named by text (corvalin-cli's --product NAME): the member stored under
// exactly NAME, else the one listed product whose listed or stored name is NAME with
// ASCII letter case ignored. Then loaded as SelectBundleProduct does.
CProductSelectOutcome SelectBundleProductByName(IImageHolder& holder, const std::filesystem::path& bundlePath,
                                                const std::string& name, int imageLoaded);

} // namespace corvalin

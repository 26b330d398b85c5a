#pragma once
// Reads a Pronto CCF file and walks it into the list of importable keys.
//
// All numbers are big-endian (offsets 32-bit, sizes and coordinates 16-bit) except the
// bitmap flags word. An offset counts from the start of the file; 0 ends a list. A name
// is one length byte and that many characters; a name offset's top bit is not part of it.
//
//   file header   +8 signature 40 A5 5A 40 5F 43 43 46, +36 capability word (u32),
//                 +48/+52/+56 first device of device lists 1-3, +68 first panel of the
//                 header's panel list
//   device        +0 next device, +4 name, +60 first panel
//   panel         +0 next panel, +4 name, +8 child count (u8), +10 child entries
//   frame         +4 name, +18 child count (u8), +20 child entries
//   child entry   9 bytes: +0 x, +2 y, +4 record offset, +8 kind (0 frame, 1 button)
//   button        +0 width, +2 height, +4 action list, +8 name, +16 font size (u8),
//                 +26 bitmap, +36 text colour (u8)
//   action list   +0 action count (u8), +2 first action: +0 kind (1 = IR code),
//                 +5 IR code record
//   IR code       +0 record size (u16, counting the 6-byte head), +2 name, +6 code words
//   bitmap        +6 flags (low byte first), +8 pixel data
//
// That is the grey models' layout. The capability word's bits choose others:
//   bit 8 (colour)   the header's panel list at +68 with a timer list (bit 17), else
//                    at +64; device first panel at +76; frame child count at +21 and
//                    child entries at +23; button text colour at +42, 4 bytes, the
//                    first a palette index; one-byte-per-pixel bitmaps hold palette
//                    indexes (CcfPalette.h) instead of grey values
//   bit 18 (UDB)     an IR code record has 6 more bytes after its head: the code words
//                    start at +12 and number (size - 12) / 2
// A capability with a bit the reader cannot place (outside kKnownCcfCapabilities) is
// read as grey, and the trace says the layout is unknown.
//
// Files come from anywhere, so every read is checked against the image's end: a
// record, name, child list, action, IR code or bitmap that reaches past it is treated
// as absent. A device, panel or frame is read once for every place that lists it; only
// one that leads back onto the path that reached it (a list or a frame that comes
// round to itself) is not followed again. Frames are walked with an explicit stack of
// at most kMaxFrameDepth levels, so the thread's stack size does not matter, and a walk
// ends after kWalkBudget visits, keeping the keys found so far.

#include "ir/IrProtocol.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <string>
#include <unordered_set>
#include <vector>

namespace corvalin
{

// The record layout a file's capability word selects.
struct CCcfLayout
{
    uint32_t m_nCapability = 0;
    bool m_bKnown = true;   // false: read as grey, whatever the bits say
    bool m_bColour = false; // bit 8
    bool m_bTimers = false; // bit 17: only the colour layout places records by it
    bool m_bUdb = false;    // bit 18
};

// The capability bits the reader places: 8 colour, 17 timers, 18 UDB, and 0 and 9,
// which the known grey and colour files carry and on which nothing read here depends.
constexpr uint32_t kKnownCcfCapabilities = 0x00060301u;

CCcfLayout CcfLayoutOf(uint32_t capability);
// "grey", "grey, UDB", "colour, timers, UDB", ... or "unknown (capability 00810001),
// read as grey": the text after "Layout: " in the trace.
std::string DescribeCcfLayout(const CCcfLayout& layout);

// One importable CCF button. `bitmap` points into the reader's CCF image and is valid
// while that reader lives and holds the same image.
struct CIrKeyRecord
{
    EIrProtocol protocol = EIrProtocol::Empty; // EMPTY for a code whose frequency word is 0
    std::string label;                         // the button's name, up to its first NUL; empty without a name
    uint16_t x = 0; // the child entry's x plus those of the enclosing frames, mod 65536
    uint16_t y = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint32_t code = 0;
    uint16_t bitmapFlags = 0;
    const uint8_t* bitmap = nullptr; // pixel data; null when the button has no bitmap
    uint8_t textColor = 0; // grey file: the grey level in its low two bits; colour file: a palette index
    uint8_t fontSize = 0;
    std::size_t bitmapSize = 0; // bytes from `bitmap` to the end of the CCF image
    // From a colour file: textColor and the pixels of a one-byte-per-pixel bitmap are
    // indexes into the 256-colour palette.
    bool colour = false;
};

class CcfReader
{
  public:
    // Frames nested deeper than this are not read; no real remote comes near it.
    static constexpr std::size_t kMaxFrameDepth = 256;
    // Devices, panels and child entries visited in one walk before it gives up, keeping
    // the keys found so far. A real remote needs a few thousand; a file whose frames
    // place each other many times over would otherwise make billions of keys.
    static constexpr std::size_t kWalkBudget = std::size_t(1) << 18;

    // The diagnostic trace goes to `trace`: standard output by default, nothing when null.
    CcfReader();
    explicit CcfReader(std::ostream* trace);
    CcfReader(const CcfReader&) = delete;
    CcfReader& operator=(const CcfReader&) = delete;

    // Reads the whole file and checks its signature. A file that cannot be opened
    // leaves the reader as it was; otherwise the earlier image and key list are gone.
    bool Load(const std::filesystem::path& path);
    // The same on bytes already in memory (they are copied).
    bool LoadBytes(const uint8_t* bytes, std::size_t size);

    // Walks the held image and appends a record per accepted button.
    void Walk();
    // Replaces kWalkBudget for the next walks (the fuzz target takes a smaller one, so
    // that the costliest inputs stay quick to run).
    void SetWalkBudget(std::size_t visits) { m_nBudget = visits; }

    const std::vector<CIrKeyRecord>& Keys() const { return m_keys; }
    // Whether the last walk ran out of its budget before it reached the file's end.
    bool WalkCutShort() const { return m_bBudgetSpent; }
    const std::vector<uint8_t>& Image() const { return m_image; }
    // The layout of the image held, from its capability word (grey before a Load).
    const CCcfLayout& Layout() const { return m_layout; }

  private:
    bool TakeImage(std::vector<uint8_t> image);
    bool Has(std::size_t offset, std::size_t length) const;
    uint8_t U8(std::size_t offset) const { return m_image[offset]; }
    uint16_t U16(std::size_t offset) const;
    uint32_t U32(std::size_t offset) const;
    // The name at a name offset: false when the offset is 0 or the name leaves the image.
    bool ReadName(uint32_t nameOffset, std::string& name) const;
    void TraceNamed(const char* what, uint32_t nameOffset);

    // Counts one visit; false once the walk's budget is spent.
    bool Spend();
    void WalkPanelList(uint32_t first);
    // Visits the panel's entries and, depth-first, those of the frames among them.
    void VisitPanel(uint32_t offset);
    // Puts the frame on the path unless it is on it already or the path is full.
    void EnterFrame(uint32_t offset, uint16_t ox, uint16_t oy);
    void ReadButton(uint32_t offset, uint16_t x, uint16_t y);
    // Reads the first action's IR code into the last record or removes it.
    void ReadFirstAction(uint32_t actionList);

    std::ostream* m_pTrace;
    std::vector<uint8_t> m_image;
    CCcfLayout m_layout;
    // Where the records' fields lie in the held image's layout.
    struct COffsets
    {
        std::size_t m_nHeaderPanels = 68;
        std::size_t m_nDeviceFirstPanel = 60;
        std::size_t m_nDeviceSize = 64;
        std::size_t m_nFrameCount = 18;
        std::size_t m_nFrameEntries = 20;
        std::size_t m_nButtonTextColor = 36;
        std::size_t m_nButtonSize = 37;
        std::size_t m_nIrCodeWords = 6;
    };
    COffsets m_at;
    std::vector<CIrKeyRecord> m_keys;

    // A frame being walked: its child entries, the next one to visit and its origin.
    struct CFrameLevel
    {
        uint32_t m_nFrame = 0; // 0 for the panel the frames lie in
        std::size_t m_nEntries = 0;
        unsigned m_nCount = 0;
        unsigned m_nNext = 0;
        uint16_t m_nOriginX = 0;
        uint16_t m_nOriginY = 0;
    };
    std::vector<CFrameLevel> m_path;
    std::unordered_set<uint32_t> m_framesOnPath;
    std::size_t m_nBudget = kWalkBudget;
    std::size_t m_nVisits = 0;
    bool m_bBudgetSpent = false;
};

} // namespace corvalin

#include "ir/CcfReader.h"

#include "image/ByteOrder.h"
#include "ir/IrDecoder.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <new>
#include <ostream>

namespace corvalin
{

namespace
{

constexpr std::size_t kSignatureOffset = 8;
constexpr uint8_t kSignature[8] = {0x40, 0xA5, 0x5A, 0x40, 0x5F, 0x43, 0x43, 0x46};
constexpr std::size_t kCapabilityOffset = 36;
constexpr std::size_t kDeviceListOffsets[3] = {48, 52, 56};
constexpr uint32_t kNameOffsetMask = 0x7FFFFFFFu;

constexpr uint32_t kCapabilityColour = 1u << 8;
constexpr uint32_t kCapabilityTimers = 1u << 17;
constexpr uint32_t kCapabilityUdb = 1u << 18;

constexpr std::size_t kDeviceNext = 0, kDeviceName = 4;
constexpr std::size_t kPanelNext = 0, kPanelName = 4, kPanelCount = 8, kPanelEntries = 10;
constexpr std::size_t kFrameName = 4;
constexpr std::size_t kEntrySize = 9, kEntryX = 0, kEntryY = 2, kEntryRecord = 4, kEntryKind = 8;
constexpr uint8_t kKindFrame = 0, kKindButton = 1;
constexpr std::size_t kButtonWidth = 0, kButtonHeight = 2, kButtonActions = 4, kButtonName = 8,
                      kButtonFontSize = 16, kButtonBitmap = 26;
constexpr std::size_t kActionCount = 0, kFirstAction = 2, kActionIrCode = 5;
constexpr uint8_t kActionKindIrCode = 1;
constexpr std::size_t kIrCodeName = 2;
constexpr std::size_t kUdbHeadSize = 6;
constexpr std::size_t kBitmapFlags = 6, kBitmapPixels = 8;

} // namespace

CCcfLayout CcfLayoutOf(uint32_t capability)
{
    CCcfLayout layout;
    layout.m_nCapability = capability;
    if ((capability & ~kKnownCcfCapabilities) != 0)
    {
        layout.m_bKnown = false;
        return layout;
    }
    layout.m_bColour = (capability & kCapabilityColour) != 0;
    layout.m_bTimers = (capability & kCapabilityTimers) != 0;
    layout.m_bUdb = (capability & kCapabilityUdb) != 0;
    return layout;
}

std::string DescribeCcfLayout(const CCcfLayout& layout)
{
    if (!layout.m_bKnown)
    {
        char text[64];
        std::snprintf(text, sizeof text, "unknown (capability %08X), read as grey",
                      unsigned(layout.m_nCapability));
        return text;
    }
    std::string text = layout.m_bColour ? "colour" : "grey";
    if (layout.m_bColour && layout.m_bTimers)
        text += ", timers";
    if (layout.m_bUdb)
        text += ", UDB";
    return text;
}

CcfReader::CcfReader() : m_pTrace(&std::cout) {}

CcfReader::CcfReader(std::ostream* trace) : m_pTrace(trace) {}

bool CcfReader::Load(const std::filesystem::path& path)
{
    std::error_code error;
    std::ifstream file;
    // Only a regular file is read: a FIFO or a device would block the window or never end.
    if (std::filesystem::is_regular_file(path, error))
        file.open(path, std::ios::binary);
    if (!file.is_open())
    {
        if (m_pTrace)
            *m_pTrace << "can not open file\n";
        return false;
    }
    file.seekg(0, std::ios::end);
    std::streamoff size = file.tellg();
    file.seekg(0, std::ios::beg);
    if (size < 0)
        return false;
    std::vector<uint8_t> image;
    try
    {
        image.resize(std::size_t(size));
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    if (!file.read(reinterpret_cast<char*>(image.data()), size))
        return false;
    return TakeImage(std::move(image));
}

bool CcfReader::LoadBytes(const uint8_t* bytes, std::size_t size)
{
    return TakeImage(std::vector<uint8_t>(bytes, bytes + size));
}

// The key list goes with the image it was walked from: its bitmaps point into it.
bool CcfReader::TakeImage(std::vector<uint8_t> image)
{
    m_keys.clear();
    m_image = std::move(image);
    m_layout = CCcfLayout();
    m_at = COffsets();
    if (!Has(kSignatureOffset, sizeof kSignature))
        return false;
    for (std::size_t i = 0; i < sizeof kSignature; ++i)
    {
        if (m_image[kSignatureOffset + i] != kSignature[i])
            return false;
    }
    // A file that ends before its capability word is read as the grey files are.
    m_layout = CcfLayoutOf(Has(kCapabilityOffset, 4) ? U32(kCapabilityOffset) : 0);
    if (m_layout.m_bColour)
    {
        m_at.m_nHeaderPanels = m_layout.m_bTimers ? 68 : 64;
        // Two more key action lists and two more key names come before the first panel.
        m_at.m_nDeviceFirstPanel = 76;
        m_at.m_nDeviceSize = 80;
        // The frame's colour takes 4 bytes instead of 1.
        m_at.m_nFrameCount = 21;
        m_at.m_nFrameEntries = 23;
        // Four bytes of text colour, the first a palette index.
        m_at.m_nButtonTextColor = 42;
        m_at.m_nButtonSize = 46;
    }
    if (m_layout.m_bUdb)
        m_at.m_nIrCodeWords = 6 + kUdbHeadSize;
    return true;
}

bool CcfReader::Has(std::size_t offset, std::size_t length) const
{
    return offset <= m_image.size() && length <= m_image.size() - offset;
}

uint16_t CcfReader::U16(std::size_t offset) const
{
    return ReadBe16(&m_image[offset]);
}

uint32_t CcfReader::U32(std::size_t offset) const
{
    return ReadBe32(&m_image[offset]);
}

bool CcfReader::ReadName(uint32_t nameOffset, std::string& name) const
{
    std::size_t at = nameOffset & kNameOffsetMask;
    if (nameOffset == 0 || !Has(at, 1) || !Has(at + 1, m_image[at]))
        return false;
    name.assign(reinterpret_cast<const char*>(&m_image[at + 1]), m_image[at]);
    return true;
}

void CcfReader::TraceNamed(const char* what, uint32_t nameOffset)
{
    if (!m_pTrace)
        return;
    std::string name;
    *m_pTrace << what << (ReadName(nameOffset, name) ? name : std::string("No Name")) << '\n';
}

void CcfReader::Walk()
{
    m_nVisits = 0;
    m_bBudgetSpent = false;
    if (m_pTrace)
        *m_pTrace << "Layout: " << DescribeCcfLayout(m_layout) << '\n';
    for (std::size_t listOffset : kDeviceListOffsets)
    {
        // The devices of this list so far: one met again would lead round for ever.
        std::unordered_set<uint32_t> listed;
        uint32_t device = Has(listOffset, 4) ? U32(listOffset) : 0;
        while (device != 0 && Has(device, m_at.m_nDeviceSize) && Spend())
        {
            if (!listed.insert(device).second)
            {
                if (m_pTrace)
                    *m_pTrace << "Device list loops back\n";
                break;
            }
            TraceNamed("Device: ", U32(device + kDeviceName));
            WalkPanelList(U32(device + m_at.m_nDeviceFirstPanel));
            device = U32(device + kDeviceNext);
        }
    }
    WalkPanelList(Has(m_at.m_nHeaderPanels, 4) ? U32(m_at.m_nHeaderPanels) : 0);
}

bool CcfReader::Spend()
{
    if (m_bBudgetSpent)
        return false;
    if (++m_nVisits <= m_nBudget)
        return true;
    m_bBudgetSpent = true;
    if (m_pTrace)
        *m_pTrace << "Walk stopped after " << m_nBudget << " records, keys kept: " << m_keys.size() << '\n';
    return false;
}

void CcfReader::WalkPanelList(uint32_t panel)
{
    std::unordered_set<uint32_t> listed;
    while (panel != 0 && Has(panel, kPanelEntries) && Spend())
    {
        if (!listed.insert(panel).second)
        {
            if (m_pTrace)
                *m_pTrace << "Panel list loops back\n";
            return;
        }
        VisitPanel(panel);
        panel = U32(panel + kPanelNext);
    }
}

void CcfReader::VisitPanel(uint32_t offset)
{
    TraceNamed("Panel: ", U32(offset + kPanelName));
    m_path.clear();
    m_framesOnPath.clear();
    m_path.push_back({0, offset + std::size_t(kPanelEntries), U8(offset + kPanelCount), 0, 0, 0});
    while (!m_path.empty())
    {
        CFrameLevel& level = m_path.back();
        std::size_t entry = level.m_nEntries + std::size_t(level.m_nNext) * kEntrySize;
        if (level.m_nNext >= level.m_nCount || !Has(entry, kEntrySize))
        {
            m_framesOnPath.erase(level.m_nFrame);
            m_path.pop_back();
            continue;
        }
        ++level.m_nNext;
        if (!Spend())
            break;
        uint16_t x = uint16_t(U16(entry + kEntryX) + level.m_nOriginX);
        uint16_t y = uint16_t(U16(entry + kEntryY) + level.m_nOriginY);
        uint32_t record = U32(entry + kEntryRecord);
        uint8_t kind = U8(entry + kEntryKind);
        // `level` is not used below: entering a frame grows the path and may move it.
        if (kind == kKindButton)
            ReadButton(record, x, y);
        else if (kind == kKindFrame)
            EnterFrame(record, x, y);
    }
    m_path.clear();
    m_framesOnPath.clear();
}

void CcfReader::EnterFrame(uint32_t offset, uint16_t ox, uint16_t oy)
{
    if (offset == 0 || !Has(offset, m_at.m_nFrameEntries))
        return;
    uint32_t name = U32(offset + kFrameName);
    if (m_framesOnPath.count(offset) != 0)
    {
        TraceNamed("Frame contains itself: ", name);
        return;
    }
    // The path holds the panel and the frames around this one.
    if (m_path.size() > kMaxFrameDepth)
    {
        TraceNamed("Frame nested too deep: ", name);
        return;
    }
    TraceNamed("Frame: ", name);
    m_framesOnPath.insert(offset);
    m_path.push_back({offset, offset + m_at.m_nFrameEntries, U8(offset + m_at.m_nFrameCount), 0, ox, oy});
}

void CcfReader::ReadButton(uint32_t offset, uint16_t x, uint16_t y)
{
    if (m_pTrace)
        *m_pTrace << "ParseButton\n";
    if (offset == 0 || !Has(offset, m_at.m_nButtonSize))
        return;
    CIrKeyRecord& record = m_keys.emplace_back();
    record.x = x;
    record.y = y;

    uint32_t nameOffset = U32(offset + kButtonName);
    TraceNamed("Button: ", nameOffset);
    std::string name;
    ReadName(nameOffset, name);
    record.label = name.substr(0, name.find('\0'));
    if (m_pTrace)
        *m_pTrace << "length: " << name.size() << "\n---------" << record.label << '\n';

    record.width = U16(offset + kButtonWidth);
    record.height = U16(offset + kButtonHeight);
    record.textColor = U8(offset + m_at.m_nButtonTextColor);
    record.colour = m_layout.m_bColour;
    record.fontSize = U8(offset + kButtonFontSize);

    uint32_t bitmap = U32(offset + kButtonBitmap);
    if (bitmap != 0 && Has(bitmap, kBitmapPixels + 1))
    {
        record.bitmapFlags = ReadLe16(&m_image[bitmap + kBitmapFlags]);
        record.bitmap = &m_image[bitmap + kBitmapPixels];
        record.bitmapSize = m_image.size() - (bitmap + kBitmapPixels);
    }

    ReadFirstAction(U32(offset + kButtonActions));
}

void CcfReader::ReadFirstAction(uint32_t actionList)
{
    std::size_t action = std::size_t(actionList) + kFirstAction;
    if (actionList == 0 || !Has(actionList, 1) || U8(actionList + kActionCount) == 0 || !Has(action, 1) ||
        U8(action) != kActionKindIrCode || !Has(action + kActionIrCode, 4))
    {
        m_keys.pop_back();
        return;
    }
    uint32_t irCode = U32(action + kActionIrCode);
    // The size counts the head, and in a UDB file the UDB head after it as well.
    const std::size_t head = m_at.m_nIrCodeWords;
    if (irCode == 0 || !Has(irCode, head) || !Has(irCode, U16(irCode)))
    {
        m_keys.pop_back();
        return;
    }
    std::size_t size = U16(irCode);
    std::size_t wordCount = size > head ? (size - head) / 2 : 0;
    std::vector<uint16_t> words(wordCount);
    for (std::size_t i = 0; i < wordCount; ++i)
        words[i] = U16(irCode + head + 2 * i);

    if (m_pTrace)
    {
        *m_pTrace << "irCode size: " << size << '\n';
        TraceNamed("Name: ", U32(irCode + kIrCodeName));
        *m_pTrace << "u16Len: " << (size > head ? size - head : 0) << '\n';
        char hex[8];
        for (uint16_t word : words)
        {
            std::snprintf(hex, sizeof hex, "%04X ", unsigned(word));
            *m_pTrace << hex;
        }
        *m_pTrace << '\n';
    }

    CIrDecodeResult result = DecodeIrCode(words.data(), words.size(), m_pTrace);
    if (result.m_eOutcome == EIrDecodeOutcome::NotDecoded)
        return; // kept with protocol 0 ("EMPTY") and code 0
    if (m_pTrace)
        *m_pTrace << "---SIZE-" << m_keys.size() << '\n';
    if (result.m_eOutcome == EIrDecodeOutcome::Accepted)
    {
        m_keys.back().protocol = result.m_eProtocol;
        m_keys.back().code = result.m_nCode;
    }
    else
    {
        m_keys.pop_back();
    }
    if (m_pTrace)
        *m_pTrace << "---SIZE-" << m_keys.size() << '\n';
}

} // namespace corvalin

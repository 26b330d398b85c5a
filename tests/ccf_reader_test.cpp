// The CCF reader on files written by the CCF builder: walk order, positions, the
// first-action rule, the trace, and files that are cut short or lead in circles.

#include "ir/CcfReader.h"
#include "ir/IrProtocol.h"
#include "ir/KeyBitmap.h"
#include "tools/fixtures/CcfBuilder.h"
#include "tools/fixtures/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <sstream>
#include <streambuf>

using namespace corvalin;
using namespace corvalin::fixtures;

namespace
{

std::vector<std::string> Labels(const CcfReader& reader)
{
    std::vector<std::string> labels;
    for (const CIrKeyRecord& key : reader.Keys())
        labels.push_back(key.label);
    return labels;
}

struct CWalked
{
    std::vector<std::string> labels;
    std::string trace;
    std::vector<CIrKeyRecord> keys;
};

CWalked Walk(const Bytes& bytes)
{
    std::ostringstream trace;
    CcfReader reader(&trace);
    EXPECT_TRUE(reader.LoadBytes(bytes.data(), bytes.size()));
    reader.Walk();
    CWalked walked{Labels(reader), trace.str(), reader.Keys()};
    for (CIrKeyRecord& key : walked.keys)
        key.bitmap = nullptr; // the reader is gone
    return walked;
}

Words Silent()
{
    Words words = NecCode(1, 1);
    words[1] = 0;
    return words;
}

// Three device lists and the header's panels, frames two deep, and the buttons the
// key list must leave out.
class CSampleCcf
{
  public:
    CSampleCcf()
    {
        uint32_t deepMute = ccf.IrButton("Mute", NecCode(0x04, 0x09));
        uint32_t inner = ccf.Frame("Inner", {ButtonAt(1000, 100, deepMute)});
        uint32_t outerMute = ccf.IrButton("Mute", NecCode(0x04, 0x0A));
        uint32_t outer = ccf.Frame("Outer", {ButtonAt(1, 2, outerMute), FrameAt(65000, 65500, inner)});
        uint32_t volUp = ccf.IrButton("Vol+", NecCode(0x04, 0x02));
        CCcfChild odd = ButtonAt(0, 0, volUp);
        odd.kind = 2;
        uint32_t tvMain = ccf.Panel("TV Main", {ButtonAt(5, 6, volUp), odd, FrameAt(100, 200, outer)});

        CCcfButton noActions;
        noActions.name = ccf.Name("NoAct");
        uint32_t code = ccf.IrCode(SonyCode(0x15, 1));
        CCcfButton macro;
        macro.name = ccf.Name("Macro");
        macro.actions = ccf.Actions({{2, 0}});
        CCcfButton second;
        second.name = ccf.Name("Second");
        second.actions = ccf.Actions({{2, 0}, {kCcfActionIrCode, code}});
        CCcfButton none;
        none.name = ccf.Name("Nothing");
        none.actions = ccf.Actions({});
        uint32_t tvMore =
            ccf.Panel("TV More", {ButtonAt(0, 0, ccf.Button(noActions)), ButtonAt(0, 0, ccf.Button(macro)),
                                  ButtonAt(0, 0, ccf.Button(second)), ButtonAt(0, 0, ccf.Button(none)),
                                  ButtonAt(7, 7, ccf.IrButton("Silent", Silent())),
                                  ButtonAt(0, 0, ccf.IrButton("Junk", {0, 109, 0, 1, 10, 50}))});
        ccf.Chain({tvMain, tvMore});
        ccf.SetDeviceList(0, ccf.Device("TV", tvMain));

        bitmapPixels = {0x1B, 0xE4, 0, 0};
        bitmap = ccf.Bitmap(0x0181, bitmapPixels);
        uint32_t volDown = ccf.IrButton("Vol-", SonyCode(0x13, 1), bitmap, 8, 1);
        ccf.SetDeviceList(1, ccf.Device("Amp", ccf.Panel("Amp", {ButtonAt(3, 4, volDown)})));

        CCcfButton source;
        uint32_t sourceName = ccf.Name("Source");
        source.name = sourceName | 0x80000000u;
        source.actions = ccf.Actions({{kCcfActionIrCode, ccf.IrCode(Rc5Code(5, 0x38))}});
        source.fontSize = 3;
        source.textColor = 7;
        uint32_t dvd = ccf.Device("", ccf.Panel("", {ButtonAt(9, 9, ccf.Button(source))}));
        uint32_t dvd2 = ccf.Device("Dvd2", 0);
        ccf.Chain({dvd, dvd2});
        ccf.SetDeviceList(2, dvd);

        uint32_t home = ccf.Panel("Home", {ButtonAt(0, 0, ccf.IrButton("\xBA", Rc6Code(0x80, 0x20)))});
        uint32_t home2 = ccf.Panel("Home 2", {ButtonAt(0, 0, ccf.IrButton("\xAA", SharpCode(1, 0x5A)))});
        ccf.Chain({home, home2});
        ccf.SetHeaderPanels(home);
    }

    CCcfBuilder ccf;
    Bytes bitmapPixels;
    uint32_t bitmap = 0;
};

} // namespace

TEST(CcfReader, WalksDeviceListsThenHeaderPanelsDepthFirst)
{
    CSampleCcf sample;
    CWalked walked = Walk(sample.ccf.Build());
    EXPECT_EQ((std::vector<std::string>{"Vol+", "Mute", "Mute", "Silent", "Vol-", "Source", "\xBA", "\xAA"}),
              walked.labels);
    const std::vector<CIrKeyRecord>& keys = walked.keys;
    ASSERT_EQ(8u, keys.size());

    EXPECT_EQ(EIrProtocol::Nec, keys[0].protocol);
    EXPECT_EQ(0xFD02FB04u, keys[0].code);
    EXPECT_EQ(5, keys[0].x);
    EXPECT_EQ(6, keys[0].y);
    EXPECT_EQ(60, keys[0].width);
    EXPECT_EQ(20, keys[0].height);
    EXPECT_EQ(2, keys[0].fontSize);
    EXPECT_EQ(3, keys[0].textColor);

    // Positions add up through the frames, modulo 65536.
    EXPECT_EQ(101, keys[1].x);
    EXPECT_EQ(202, keys[1].y);
    EXPECT_EQ(0xF50AFB04u, keys[1].code);
    EXPECT_EQ((1000 + 65000 + 100) % 65536, keys[2].x);
    EXPECT_EQ((100 + 65500 + 200) % 65536, keys[2].y);
    EXPECT_EQ(0xF609FB04u, keys[2].code);

    // A code without a carrier keeps its key, with no protocol and no code.
    EXPECT_EQ(EIrProtocol::Empty, keys[3].protocol);
    EXPECT_EQ(0u, keys[3].code);

    EXPECT_EQ(EIrProtocol::Sony12, keys[4].protocol);
    EXPECT_EQ(0x93u, keys[4].code);
    EXPECT_EQ(EIrProtocol::Rc5, keys[5].protocol);
    EXPECT_EQ(0x178u, keys[5].code);
    EXPECT_EQ(3, keys[5].fontSize);
    EXPECT_EQ(7, keys[5].textColor);
    EXPECT_EQ(EIrProtocol::Rc6, keys[6].protocol);
    EXPECT_EQ(0x4010u, keys[6].code);
    EXPECT_EQ(EIrProtocol::Sharp, keys[7].protocol);
    EXPECT_EQ(0x2B41u, keys[7].code);

    // Every device, panel and frame is traced; the entry of kind 2 is not.
    EXPECT_EQ(0u, walked.trace.find(
                      "Layout: grey\nDevice: TV\nPanel: TV Main\nParseButton\nButton: Vol+\nlength: 4\n"
                      "---------Vol+\nirCode size: 150\nName: Vol+ code\nu16Len: 144\n"));
    EXPECT_NE(std::string::npos, walked.trace.find("FD02FB04 \n---SIZE-1\n---SIZE-1\nFrame: Outer\n"));
    for (const char* line : {"Device: TV\n", "Device: Amp\n", "Device: No Name\n", "Device: Dvd2\n",
                             "Panel: TV More\n", "Panel: No Name\n", "Panel: Home 2\n", "Frame: Outer\n",
                             "Frame: Inner\n", "Button: NoAct\n", "Button: Junk\n"})
        EXPECT_NE(std::string::npos, walked.trace.find(line)) << line;
}

TEST(CcfReader, BitmapsPointIntoTheImage)
{
    CSampleCcf sample;
    Bytes bytes = sample.ccf.Build();
    CcfReader reader(nullptr);
    ASSERT_TRUE(reader.LoadBytes(bytes.data(), bytes.size()));
    reader.Walk();
    const CIrKeyRecord& volDown = reader.Keys().at(4);
    EXPECT_EQ(0x0181, volDown.bitmapFlags); // low byte first
    ASSERT_EQ(reader.Image().data() + sample.bitmap + 8, volDown.bitmap);
    EXPECT_EQ(bytes.size() - sample.bitmap - 8, volDown.bitmapSize);
    CGreyImage image = DecodeKeyBitmap(volDown.bitmapFlags, volDown.bitmap, volDown.bitmapSize, volDown.width,
                                       volDown.height);
    EXPECT_EQ(0x1B, image.Grey(0, 0));
    EXPECT_EQ(0xE4, image.Grey(1, 0));
    EXPECT_EQ(nullptr, reader.Keys().at(0).bitmap);
}

TEST(CcfReader, BitmapsOfEveryFormDecodeFromTheKeyList)
{
    // Flags words whose two bytes differ, so a byte-swapped read picks another form.
    CCcfBuilder ccf;
    Words code = NecCode(1, 2);
    std::vector<CCcfChild> keys = {
        ButtonAt(0, 0, ccf.IrButton("grey", code, ccf.Bitmap(0x0100, {10, 20, 30, 40, 0, 0, 0, 0}), 4, 1)),
        ButtonAt(0, 0, ccf.IrButton("bits1", code, ccf.Bitmap(0x0200, {0x05}), 4, 1)),
        ButtonAt(0, 0, ccf.IrButton("rle", code, ccf.Bitmap(0x0281, {0x1B, 0x81}), 4, 2)),
        ButtonAt(0, 0, ccf.IrButton("bits2", code, ccf.Bitmap(0x0201, {0xE4, 0x00}), 4, 1)),
    };
    ccf.SetHeaderPanels(ccf.Panel("P", keys));
    Bytes bytes = ccf.Build();
    CcfReader reader(nullptr);
    ASSERT_TRUE(reader.LoadBytes(bytes.data(), bytes.size()));
    reader.Walk();
    ASSERT_EQ(4u, reader.Keys().size());
    auto row = [&](std::size_t k, int y)
    {
        const CIrKeyRecord& key = reader.Keys()[k];
        CGreyImage image =
            DecodeKeyBitmap(key.bitmapFlags, key.bitmap, key.bitmapSize, key.width, key.height);
        std::vector<int> pixels;
        for (int x = 0; x < image.m_nWidth; ++x)
            pixels.push_back(image.Grey(x, y));
        return pixels;
    };
    EXPECT_EQ((std::vector<int>{10, 20, 30, 40}), row(0, 0));
    EXPECT_EQ((std::vector<int>{255, 0, 255, 0}), row(1, 0));
    EXPECT_EQ((std::vector<int>{85, 170, 255, 85}), row(2, 0));
    EXPECT_EQ((std::vector<int>{85, 85, 85, 0}), row(2, 1)); // the run crosses the row end
    EXPECT_EQ((std::vector<int>{255, 170, 85, 0}), row(3, 0));
}

TEST(CcfReader, WritesTheTraceOfAButton)
{
    CCcfBuilder ccf;
    Words words = Rc5Code(5, 0x35);
    uint32_t button = ccf.IrButton("Vol+", words);
    uint32_t frame = ccf.Frame("", {ButtonAt(1, 1, button)});
    ccf.SetHeaderPanels(ccf.Panel("Main", {FrameAt(0, 0, frame)}));
    std::string wordsLine;
    for (uint16_t w : words)
    {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%04X ", unsigned(w));
        wordsLine += hex;
    }
    EXPECT_EQ(
        "Layout: grey\nPanel: Main\nFrame: No Name\nParseButton\nButton: Vol+\nlength: 4\n---------Vol+\n"
        "irCode size: " +
            std::to_string(6 + 2 * words.size()) +
            "\nName: Vol+ code\nu16Len: " + std::to_string(2 * words.size()) + "\n" + wordsLine +
            "\n----RC5\n11000101110101\n---SIZE-1\n---SIZE-1\n",
        Walk(ccf.Build()).trace);
}

TEST(CcfReader, LabelsStopAtANulAndNamesMayBeMissing)
{
    CCcfBuilder ccf;
    CCcfButton nul;
    nul.name = ccf.Name(std::string("Ab\0cd", 5));
    nul.actions = ccf.Actions({{kCcfActionIrCode, ccf.IrCode(NecCode(1, 2))}});
    CCcfButton anonymous;
    anonymous.actions = nul.actions;
    ccf.SetHeaderPanels(
        ccf.Panel("P", {ButtonAt(0, 0, ccf.Button(nul)), ButtonAt(0, 0, ccf.Button(anonymous))}));
    CWalked walked = Walk(ccf.Build());
    EXPECT_EQ((std::vector<std::string>{"Ab", ""}), walked.labels);
    EXPECT_NE(std::string::npos, walked.trace.find("length: 5\n---------Ab\n"));
    EXPECT_NE(std::string::npos, walked.trace.find("Button: No Name\nlength: 0\n---------\n"));
}

TEST(CcfReader, LoadChecksTheFileAndItsSignature)
{
    CTempDir dir;
    CSampleCcf sample;
    WriteFileBytes(dir / "good.ccf", sample.ccf.Build());
    Bytes bad = sample.ccf.Build();
    bad[15] = 'G';
    WriteFileBytes(dir / "bad.ccf", bad);
    WriteFileBytes(dir / "short.ccf", Bytes(sample.ccf.Build().begin(), sample.ccf.Build().begin() + 15));
    WriteFileBytes(dir / "empty.ccf", {});

    std::ostringstream trace;
    CcfReader reader(&trace);
    ASSERT_TRUE(reader.Load(dir / "good.ccf"));
    reader.Walk();
    EXPECT_EQ(8u, reader.Keys().size());

    // A file that cannot be opened leaves the reader as it was.
    trace.str("");
    EXPECT_FALSE(reader.Load(dir / "missing.ccf"));
    EXPECT_FALSE(reader.Load(dir.Path()));
    std::string expected = "can not open file\ncan not open file\n";
#ifndef _WIN32
    // A FIFO with no writer would block a reader that opened it; it is refused at once.
    ASSERT_EQ(0, mkfifo((dir / "pipe.ccf").c_str(), 0600));
    EXPECT_FALSE(reader.Load(dir / "pipe.ccf"));
    expected += "can not open file\n";
#endif
    EXPECT_EQ(expected, trace.str());
    EXPECT_EQ(8u, reader.Keys().size());

    // A file without the signature replaces the image, and with it the key list whose
    // bitmaps pointed into the old one.
    EXPECT_FALSE(reader.Load(dir / "bad.ccf"));
    EXPECT_TRUE(reader.Keys().empty());
    EXPECT_FALSE(reader.Load(dir / "short.ccf"));
    EXPECT_FALSE(reader.Load(dir / "empty.ccf"));
    CcfReader fresh(nullptr);
    fresh.Walk(); // nothing held: nothing found
    EXPECT_TRUE(fresh.Keys().empty());
}

TEST(CcfReader, RecordsReachingPastTheEndAreAbsent)
{
    Words nec = NecCode(1, 2);
    auto fileWith = [&](auto&& corrupt)
    {
        CCcfBuilder ccf;
        uint32_t before = ccf.IrButton("Before", nec);
        uint32_t victim = ccf.IrButton("Victim", nec);
        uint32_t after = ccf.IrButton("After", nec);
        uint32_t panel =
            ccf.Panel("P", {ButtonAt(0, 0, before), ButtonAt(0, 0, victim), ButtonAt(0, 0, after)});
        ccf.SetHeaderPanels(panel);
        corrupt(ccf, victim, panel);
        return Walk(ccf.Build());
    };
    const std::vector<std::string> withoutVictim = {"Before", "After"};

    // Button record starting 10 bytes before the end.
    EXPECT_EQ(withoutVictim, fileWith(
                                 [](CCcfBuilder& ccf, uint32_t, uint32_t panel)
                                 {
                                     ccf.Name("0123456789");
                                     ccf.Put32(panel + 10 + 9 + 4, ccf.Size() - 10);
                                 })
                                 .labels);
    // Button record far beyond the end, and at offset 0.
    EXPECT_EQ(withoutVictim, fileWith([](CCcfBuilder& ccf, uint32_t, uint32_t panel)
                                      { ccf.Put32(panel + 10 + 9 + 4, 0xFFFFFFF0u); })
                                 .labels);
    EXPECT_EQ(withoutVictim,
              fileWith([](CCcfBuilder& ccf, uint32_t, uint32_t panel) { ccf.Put32(panel + 10 + 9 + 4, 0); })
                  .labels);
    // Action list beyond the end.
    EXPECT_EQ(withoutVictim, fileWith([](CCcfBuilder& ccf, uint32_t victim, uint32_t)
                                      { ccf.Put32(victim + 4, ccf.Size() + 1); })
                                 .labels);
    // IR code offset beyond the end.
    EXPECT_EQ(withoutVictim, fileWith(
                                 [](CCcfBuilder& ccf, uint32_t victim, uint32_t)
                                 {
                                     ccf.Name("x");
                                     uint32_t actions = ccf.Actions({{kCcfActionIrCode, 0x7FFFFFFFu}});
                                     ccf.Put32(victim + 4, actions);
                                 })
                                 .labels);
    // An action list whose first action is cut off by the end.
    EXPECT_EQ(withoutVictim,
              fileWith(
                  [](CCcfBuilder& ccf, uint32_t victim, uint32_t)
                  {
                      ccf.Put32(victim + 4, ccf.Size());
                      ccf.Name(std::string("\0\1", 2)); // count 2, a pad byte, kind 1, then the end
                  })
                  .labels);
    // IR code record whose size runs past the end.
    EXPECT_EQ(withoutVictim, fileWith(
                                 [&](CCcfBuilder& ccf, uint32_t victim, uint32_t)
                                 {
                                     uint32_t actions = ccf.Actions({{kCcfActionIrCode, 0}});
                                     uint32_t code = ccf.IrCode(nec);
                                     ccf.Put16(code, uint16_t(ccf.Size() - code + 2));
                                     ccf.Put32(actions + 2 + 5, code);
                                     ccf.Put32(victim + 4, actions);
                                 })
                                 .labels);

    // A name running past the end is no name; the button stays.
    CWalked unnamed = fileWith(
        [](CCcfBuilder& ccf, uint32_t victim, uint32_t)
        {
            ccf.Put32(victim + 8, ccf.Name("end"));
            ccf.Put8(ccf.Size() - 4, 200);
        });
    EXPECT_EQ((std::vector<std::string>{"Before", "", "After"}), unnamed.labels);

    // A bitmap record running past the end is no bitmap.
    CCcfBuilder ccf;
    uint32_t button = ccf.IrButton("B", nec, 0, 8, 8);
    ccf.SetHeaderPanels(ccf.Panel("P", {ButtonAt(0, 0, button)}));
    ccf.Put32(button + 26, ccf.Size() - 5);
    Bytes bytes = ccf.Build();
    CcfReader reader(nullptr);
    ASSERT_TRUE(reader.LoadBytes(bytes.data(), bytes.size()));
    reader.Walk();
    ASSERT_EQ(1u, reader.Keys().size());
    EXPECT_EQ(nullptr, reader.Keys()[0].bitmap);
    EXPECT_EQ(0, reader.Keys()[0].bitmapFlags);
}

TEST(CcfReader, ChildListsEndAtTheEndOfTheImage)
{
    CCcfBuilder ccf;
    Words nec = NecCode(1, 2);
    uint32_t a = ccf.IrButton("A", nec);
    uint32_t b = ccf.IrButton("B", nec);
    uint32_t panel = ccf.Panel("P", {ButtonAt(0, 0, a), ButtonAt(0, 0, b), ButtonAt(0, 0, a)});
    ccf.SetHeaderPanels(panel);
    ccf.Put8(panel + 8, 200); // claims 200 entries; the third entry is the file's last byte
    Bytes bytes = ccf.Build();
    bytes.pop_back(); // and now incomplete
    EXPECT_EQ((std::vector<std::string>{"A", "B"}), Walk(bytes).labels);
}

namespace
{

std::size_t Count(const std::string& text, const std::string& part)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// Keeps only the last line written, for walks whose whole trace would be too large.
class CTraceTail : public std::streambuf
{
  public:
    std::string LastLine() const { return m_strLast; }

  protected:
    int overflow(int c) override
    {
        if (c != EOF)
            Put(char(c));
        return 0;
    }
    std::streamsize xsputn(const char* text, std::streamsize n) override
    {
        for (std::streamsize i = 0; i < n; ++i)
            Put(text[i]);
        return n;
    }

  private:
    void Put(char c)
    {
        if (m_bLineDone)
            m_strLast.clear();
        m_strLast.push_back(c);
        m_bLineDone = c == '\n';
    }

    std::string m_strLast;
    bool m_bLineDone = false;
};

} // namespace

TEST(CcfReader, SharedFramesAndPanelsAreReadOncePerPlacement)
{
    // Frame F placed twice by panel P, P listed by two devices and by the header.
    CCcfBuilder ccf;
    uint32_t frame = ccf.Frame("F", {ButtonAt(1, 2, ccf.IrButton("F1", NecCode(1, 1)))});
    uint32_t panel = ccf.Panel("P", {FrameAt(0, 0, frame), FrameAt(100, 100, frame),
                                     ButtonAt(3, 3, ccf.IrButton("P1", NecCode(1, 2)))});
    uint32_t d1 = ccf.Device("D1", panel);
    uint32_t d2 = ccf.Device("D2", panel);
    ccf.Chain({d1, d2});
    ccf.SetDeviceList(0, d1);
    ccf.SetHeaderPanels(panel);
    CWalked walked = Walk(ccf.Build());
    const std::vector<std::string> once = {"F1", "F1", "P1"};
    std::vector<std::string> expected;
    for (int placement = 0; placement < 3; ++placement)
        expected.insert(expected.end(), once.begin(), once.end());
    EXPECT_EQ(expected, walked.labels);
    EXPECT_EQ(101, walked.keys[7].x);
    EXPECT_EQ(102, walked.keys[7].y);
    EXPECT_EQ(3u, Count(walked.trace, "Panel: P\n"));
    EXPECT_EQ(6u, Count(walked.trace, "Frame: F\n"));
}

TEST(CcfReader, LoopsEndWhereTheyLeadBackOntoTheirPath)
{
    CCcfBuilder ccf;
    Words nec = NecCode(1, 2);
    uint32_t shared = ccf.IrButton("Shared", nec);
    uint32_t frame = ccf.Frame("Loop", {ButtonAt(0, 0, shared)});
    // A frame that contains itself, reached from two panels.
    uint32_t self = ccf.Frame("Self", {ButtonAt(1, 1, shared), FrameAt(5, 5, 0)});
    ccf.Put32(self + 20 + 9 + 4, self);
    uint32_t p1 = ccf.Panel("P1", {FrameAt(0, 0, self), FrameAt(0, 0, frame)});
    uint32_t p2 = ccf.Panel("P2", {FrameAt(0, 0, frame)});
    ccf.Chain({p1, p2, p1}); // p2 leads back to p1
    uint32_t device = ccf.Device("D", p1);
    ccf.Put32(device, device); // the device is its own next
    ccf.SetDeviceList(0, device);
    ccf.SetDeviceList(1, device);
    ccf.SetHeaderPanels(p2);
    CWalked walked = Walk(ccf.Build());
    // Each of the two device lists reads D once (P1, P2: 3 keys); the header's list
    // reads P2 then P1 (3 keys).
    EXPECT_EQ(std::vector<std::string>(9, "Shared"), walked.labels);
    EXPECT_EQ(2u, Count(walked.trace, "Device: D\n"));
    EXPECT_EQ(2u, Count(walked.trace, "Device list loops back\n"));
    EXPECT_EQ(3u, Count(walked.trace, "Panel: P1\n"));
    EXPECT_EQ(3u, Count(walked.trace, "Panel list loops back\n"));
    EXPECT_EQ(3u, Count(walked.trace, "Frame: Self\n"));
    EXPECT_EQ(3u, Count(walked.trace, "Frame contains itself: Self\n"));
}

TEST(CcfReader, DeepNestingIsCutAtTheDepthLimitWithoutTheCallStack)
{
    // Ten times the frames that once overflowed a 1 MiB stack.
    CWalked walked = Walk(BuildDeepCcf(100000));
    ASSERT_EQ(CcfReader::kMaxFrameDepth, walked.keys.size());
    EXPECT_EQ(CcfReader::kMaxFrameDepth, walked.keys.back().x);
    EXPECT_EQ(1u, Count(walked.trace, "Frame nested too deep: No Name\n"));
}

TEST(CcfReader, WideFilesAreReadWholeAndFanOutsStopAtTheBudget)
{
    CcfReader reader(nullptr);
    Bytes wide = BuildWideCcf();
    ASSERT_LT(wide.size(), 8000u);
    ASSERT_TRUE(reader.LoadBytes(wide.data(), wide.size()));
    reader.Walk();
    EXPECT_EQ(255u * 255u, reader.Keys().size());
    EXPECT_FALSE(reader.WalkCutShort());

    // 255^4 keys and no loop: the walk gives up after its budget and keeps what it found.
    CcfReader fan(nullptr);
    Bytes bytes = BuildFanOutCcf(4);
    ASSERT_TRUE(fan.LoadBytes(bytes.data(), bytes.size()));
    fan.Walk();
    EXPECT_TRUE(fan.WalkCutShort());
    EXPECT_GT(fan.Keys().size(), CcfReader::kWalkBudget * 9 / 10);
    EXPECT_LT(fan.Keys().size(), CcfReader::kWalkBudget);

    // The trace says so once, last (buttons without codes keep the trace short).
    CTraceTail tail;
    std::ostream trace(&tail);
    CcfReader traced(&trace);
    bytes = BuildFanOutCcf(4, false);
    ASSERT_TRUE(traced.LoadBytes(bytes.data(), bytes.size()));
    traced.Walk();
    EXPECT_EQ("Walk stopped after " + std::to_string(CcfReader::kWalkBudget) + " records, keys kept: 0\n",
              tail.LastLine());
}

TEST(CcfReader, EveryCutOfAFileIsReadSafely)
{
    // Each prefix of a good file, walked: every offset then meets the image's end
    // somewhere, and the address sanitizer watches every read.
    CSampleCcf sample;
    const Bytes& full = sample.ccf.Build();
    std::size_t fullKeys = Walk(full).keys.size();
    for (std::size_t n = 0; n <= full.size(); ++n)
    {
        CcfReader reader(nullptr);
        if (!reader.LoadBytes(full.data(), n))
        {
            EXPECT_LT(n, 16u);
            continue;
        }
        reader.Walk();
        EXPECT_LE(reader.Keys().size(), fullKeys);
        for (const CIrKeyRecord& key : reader.Keys())
        {
            if (key.bitmap)
            {
                EXPECT_LE(key.bitmap + key.bitmapSize, reader.Image().data() + reader.Image().size());
                DecodeKeyBitmap(key.bitmapFlags, key.bitmap, key.bitmapSize, key.width, key.height);
            }
        }
    }
}

namespace
{

struct CLayoutCase
{
    const char* name;
    CCcfFileLayout layout;
    const char* traceLine;
};

const CLayoutCase kLayouts[] = {
    {"grey", kCcfGrey, "Layout: grey\n"},
    {"grey+UDB", kCcfGreyUdb, "Layout: grey, UDB\n"},
    {"colour+UDB", kCcfColourUdb, "Layout: colour, UDB\n"},
    {"colour+timers", kCcfColourTimers, "Layout: colour, timers\n"},
    {"colour+timers+UDB", kCcfColourTimersUdb, "Layout: colour, timers, UDB\n"},
};

// A key as the user meets it: the text colour as the colour it is drawn in, the bitmap
// as the pixels it decodes to (an 8-bit picture as its bytes, grey values or indexes).
struct CKeySeen
{
    EIrProtocol protocol;
    std::string label;
    uint16_t x, y, width, height;
    uint32_t code;
    uint16_t bitmapFlags;
    std::vector<uint8_t> pixels;
    std::vector<uint8_t> set;
    uint32_t captionRgb;
    uint8_t fontSize;

    bool operator==(const CKeySeen& other) const
    {
        return protocol == other.protocol && label == other.label && x == other.x && y == other.y &&
               width == other.width && height == other.height && code == other.code &&
               bitmapFlags == other.bitmapFlags && pixels == other.pixels && set == other.set &&
               captionRgb == other.captionRgb && fontSize == other.fontSize;
    }
};

std::vector<CKeySeen> KeysSeen(const CcfReader& reader)
{
    std::vector<CKeySeen> seen;
    for (const CIrKeyRecord& key : reader.Keys())
    {
        CGreyImage image =
            DecodeKeyBitmap(key.bitmapFlags, key.bitmap, key.bitmapSize, key.width, key.height, key.colour);
        // A colour file's caption in palette colour 215, 245, 251 or 0 is a grey file's
        // level 3, 2, 1 or 0; the tests compare the level each stands for.
        uint32_t caption = KeyCaptionRgb(key.textColor, key.colour);
        if (key.colour)
        {
            for (uint8_t level = 0; level < 4; ++level)
            {
                if (key.textColor == kCcfPaletteOfGreyLevel[level])
                    caption = KeyCaptionRgb(level, false);
            }
        }
        seen.push_back({key.protocol, key.label, key.x, key.y, key.width, key.height, key.code,
                        key.bitmapFlags, image.m_grey, image.m_set, caption, key.fontSize});
    }
    return seen;
}

} // namespace

// The same remote written in each layout gives the same keys, field for field, and the
// trace names the layout first.
TEST(CcfReader, TheSameRemoteGivesTheSameKeysInEveryLayout)
{
    std::vector<CKeySeen> grey;
    for (const CLayoutCase& c : kLayouts)
    {
        SCOPED_TRACE(c.name);
        const Bytes bytes = BuildLayoutRemote(c.layout);
        std::ostringstream trace;
        CcfReader reader(&trace);
        ASSERT_TRUE(reader.LoadBytes(bytes.data(), bytes.size()));
        EXPECT_EQ(c.layout.Colour(), reader.Layout().m_bColour);
        EXPECT_EQ(c.layout.Udb(), reader.Layout().m_bUdb);
        reader.Walk();
        EXPECT_EQ(0u,
                  trace.str().find(std::string(c.traceLine) + "Device: TV\nPanel: TV Main\nFrame: Outer\n"));
        ASSERT_EQ(22u, reader.Keys().size());
        for (const CIrKeyRecord& key : reader.Keys())
        {
            EXPECT_EQ(c.layout.Colour(), key.colour);
            // Only the key whose code has no carrier stays EMPTY.
            EXPECT_EQ(key.label == "Silent", key.protocol == EIrProtocol::Empty) << key.label;
        }
        std::vector<CKeySeen> seen = KeysSeen(reader);
        if (grey.empty())
        {
            grey = seen;
            continue;
        }
        ASSERT_EQ(grey.size(), seen.size());
        for (std::size_t k = 0; k < seen.size(); ++k)
            EXPECT_TRUE(grey[k] == seen[k]) << k << " " << seen[k].label;
    }
    // A few keys of the grey remote, so that "the same" is not "the same nothing".
    ASSERT_EQ(22u, grey.size());
    EXPECT_EQ("Vol+", grey[1].label);
    EXPECT_EQ(45, grey[1].x); // 45 + 0 + 0
    EXPECT_EQ(20, grey[1].y); // 0 + 20 + 0
    EXPECT_EQ(EIrProtocol::Nec, grey[1].protocol);
    EXPECT_EQ(0xFD02FB04u, grey[1].code);
    EXPECT_EQ("Sony once", grey[11].label);
    EXPECT_EQ(EIrProtocol::Sony12, grey[11].protocol);
    EXPECT_EQ(0x117u, grey[11].code);
    EXPECT_EQ("Corner", grey[14].label);
    EXPECT_EQ(65535, grey[14].x);
    EXPECT_EQ(EIrProtocol::Hitachi, grey[13].protocol);
}

TEST(CcfReader, ColourFilesGiveTheirColoursAndTheirTextColour)
{
    CCcfBuilder ccf(kCcfColourTimersUdb);
    CCcfButton button;
    button.name = ccf.Name("Red");
    button.actions = ccf.Actions({{kCcfActionIrCode, ccf.IrCode(NecCode(4, 8))}});
    button.bitmap = ccf.Bitmap(0x0100, {5, 180, 215, 0, 0, 0, 0, 0});
    button.width = 3;
    button.height = 1;
    button.textColor = 5;
    const uint32_t record = ccf.Button(button);
    ccf.SetHeaderPanels(ccf.Panel("P", {ButtonAt(0, 0, record)}));
    // The bytes after the colour's index are not part of it.
    Bytes bytes = ccf.Build();
    const std::size_t textColour = record + 42;
    ASSERT_EQ(5, bytes[textColour]);
    bytes[textColour + 1] = 0x77;
    bytes[textColour + 3] = 0x99;
    CcfReader reader(nullptr);
    ASSERT_TRUE(reader.LoadBytes(bytes.data(), bytes.size()));
    reader.Walk();
    ASSERT_EQ(1u, reader.Keys().size());
    const CIrKeyRecord& key = reader.Keys()[0];
    EXPECT_TRUE(key.colour);
    EXPECT_EQ(5, key.textColor);
    EXPECT_EQ(0xFF0000u, KeyCaptionRgb(key.textColor, key.colour));
    CGreyImage image =
        DecodeKeyBitmap(key.bitmapFlags, key.bitmap, key.bitmapSize, key.width, key.height, true);
    EXPECT_EQ(0xFF0000u, image.Rgb(0, 0));
    EXPECT_EQ(0x0000FFu, image.Rgb(1, 0));
    EXPECT_EQ(0xFFFFFFu, image.Rgb(2, 0));
}

TEST(CcfReader, UdbCodeRecordsCountTheirUdbHeadInTheirSize)
{
    CCcfBuilder ccf(kCcfGreyUdb);
    Words words = Rc5Code(5, 0x35);
    ccf.SetHeaderPanels(ccf.Panel("P", {ButtonAt(0, 0, ccf.IrButton("Vol+", words))}));
    CWalked walked = Walk(ccf.Build());
    ASSERT_EQ(1u, walked.keys.size());
    EXPECT_EQ(EIrProtocol::Rc5, walked.keys[0].protocol);
    EXPECT_EQ(0x175u, walked.keys[0].code);
    EXPECT_NE(std::string::npos, walked.trace.find("irCode size: " + std::to_string(12 + 2 * words.size()) +
                                                   "\nName: Vol+ code\nu16Len: " +
                                                   std::to_string(2 * words.size()) + "\n0000 0073 "));

    // Read as a grey file, the UDB head's bytes would be code words.
    Bytes asGrey = ccf.Build();
    asGrey[36 + 1] = 0x00; // capability 00000001
    EXPECT_TRUE(Walk(asGrey).keys.empty());

    // A UDB record too short for its UDB head has no words: rejected, nothing read.
    CCcfBuilder cut(kCcfGreyUdb);
    uint32_t code = cut.IrCode(words);
    cut.Put16(code, 10);
    CCcfButton button;
    button.name = cut.Name("Cut");
    button.actions = cut.Actions({{kCcfActionIrCode, code}});
    cut.SetHeaderPanels(cut.Panel("P", {ButtonAt(0, 0, cut.Button(button))}));
    CWalked cutWalked = Walk(cut.Build());
    EXPECT_TRUE(cutWalked.keys.empty());
    EXPECT_NE(std::string::npos, cutWalked.trace.find("u16Len: 0\n\n----Not know\n"));
}

TEST(CcfReader, TheCapabilityWordChoosesTheLayout)
{
    EXPECT_EQ("grey", DescribeCcfLayout(CcfLayoutOf(0)));
    EXPECT_EQ("grey", DescribeCcfLayout(CcfLayoutOf(0x00000001)));
    EXPECT_EQ("grey", DescribeCcfLayout(CcfLayoutOf(0x00020001))); // a grey header's timers move nothing
    EXPECT_EQ("grey, UDB", DescribeCcfLayout(CcfLayoutOf(0x00060001)));
    EXPECT_EQ("colour, timers, UDB", DescribeCcfLayout(CcfLayoutOf(0x00060301)));
    EXPECT_EQ("colour", DescribeCcfLayout(CcfLayoutOf(0x00000101)));
    const corvalin::CCcfLayout unknown = CcfLayoutOf(0x00860301);
    EXPECT_FALSE(unknown.m_bKnown);
    EXPECT_FALSE(unknown.m_bColour);
    EXPECT_FALSE(unknown.m_bUdb);
    EXPECT_EQ("unknown (capability 00860301), read as grey", DescribeCcfLayout(unknown));

    // A grey remote with a bit the reader cannot place is read as grey, and says so.
    Bytes bytes = BuildLayoutRemote(kCcfGrey);
    bytes[36] = 0x10;
    std::ostringstream trace;
    CcfReader reader(&trace);
    ASSERT_TRUE(reader.LoadBytes(bytes.data(), bytes.size()));
    reader.Walk();
    EXPECT_EQ(0u, trace.str().find("Layout: unknown (capability 10020001), read as grey\nDevice: TV\n"));
    CcfReader grey(nullptr);
    const Bytes greyBytes = BuildLayoutRemote(kCcfGrey);
    ASSERT_TRUE(grey.LoadBytes(greyBytes.data(), greyBytes.size()));
    grey.Walk();
    EXPECT_TRUE(KeysSeen(reader) == KeysSeen(grey));

    // A colour remote with such a bit is read as grey too: whatever that gives, it is
    // read safely (the address sanitizer watches) and the trace names the capability.
    Bytes colour = BuildLayoutRemote(kCcfColourTimersUdb);
    colour[39] |= 0x80;
    Walk(colour);
    EXPECT_EQ(0u, Walk(colour).trace.find("Layout: unknown (capability 00060381), read as grey\n"));

    // A file that ends before the capability word is a grey one.
    Bytes shortFile(20, 0);
    const uint8_t signature[8] = {0x40, 0xA5, 0x5A, 0x40, 0x5F, 0x43, 0x43, 0x46};
    std::copy(signature, signature + 8, shortFile.begin() + 8);
    CcfReader shortReader(nullptr);
    ASSERT_TRUE(shortReader.LoadBytes(shortFile.data(), shortFile.size()));
    EXPECT_EQ("grey", DescribeCcfLayout(shortReader.Layout()));
    shortReader.Walk();
    EXPECT_TRUE(shortReader.Keys().empty());
}

TEST(CcfReader, EveryCutOfEachLayoutIsReadSafely)
{
    for (const CLayoutCase& c : kLayouts)
    {
        SCOPED_TRACE(c.name);
        const Bytes full = BuildLayoutRemote(c.layout);
        for (std::size_t n = 16; n <= full.size(); ++n)
        {
            CcfReader reader(nullptr);
            ASSERT_TRUE(reader.LoadBytes(full.data(), n));
            reader.Walk();
            EXPECT_LE(reader.Keys().size(), 22u);
            for (const CIrKeyRecord& key : reader.Keys())
            {
                if (key.bitmap)
                    DecodeKeyBitmap(key.bitmapFlags, key.bitmap, key.bitmapSize, key.width, key.height,
                                    key.colour);
            }
        }
    }
}

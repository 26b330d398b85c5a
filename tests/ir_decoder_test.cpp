// IR code classification and decoding on standard frames and the boundaries of the rules.

#include "ir/IrDecoder.h"
#include "tools/fixtures/ProntoCodes.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace corvalin;
using namespace corvalin::fixtures;

namespace
{

Words FromText(const std::string& text)
{
    Words words;
    std::istringstream in(text);
    std::string token;
    while (in >> token)
        words.push_back(uint16_t(std::stoul(token, nullptr, 16)));
    return words;
}

CIrDecodeResult Decode(const Words& words, std::string* trace = nullptr)
{
    std::ostringstream out;
    CIrDecodeResult result = DecodeIrCode(words, &out);
    if (trace)
        *trace = out.str();
    return result;
}

// A code of `count` words (at least 72) whose first pair is mark/space and whose word
// 71 is `gap`; the counts claim a full NEC frame.
Words FirstPairCode(uint16_t mark, uint16_t space, uint16_t gap = 1518, std::size_t count = 72)
{
    Words words(count, 21);
    words[0] = 0;
    words[1] = kFreq38k;
    words[2] = 34;
    words[3] = 0;
    words[4] = mark;
    words[5] = space;
    if (count > 71)
        words[71] = gap;
    return words;
}

struct CDecodeCase
{
    const char* name;
    Words words;
    EIrProtocol protocol;
    uint32_t code;
};

} // namespace

TEST(IrDecoder, DecodesStandardFrames)
{
    const CDecodeCase cases[] = {
        {"NEC address 04 command 08", NecCode(0x04, 0x08), EIrProtocol::Nec, 0xF708FB04},
        {"NEC address 00 command FF", NecCode(0x00, 0xFF), EIrProtocol::Nec, 0x00FFFF00},
        {"NEC frame with its repeat burst", NecFrame(0x1FE, 1518, {342, 86, 21, 3700}), EIrProtocol::Nec,
         0x1FE},
        {"HITACHI gap", NecFrame(0x12345678, 1019), EIrProtocol::Hitachi, 0x12345678},
        {"Sony 12 command 15 address 1", SonyCode(0x15, 1), EIrProtocol::Sony12, 0x95},
        {"Sony 15 command 7F address A5", SonyCode(0x7F, 0xA5, 15), EIrProtocol::Sony15, 0x52FF},
        {"Sony 20 command 01 address 1ABC", SonyCode(0x01, 0x1ABC, 20), EIrProtocol::Sony20, 0xD5E01},
        {"RC5 address 5 command 35", Rc5Code(5, 0x35), EIrProtocol::Rc5, 0x175},
        {"RC5 with toggle set", Rc5Code(5, 0x35, true), EIrProtocol::Rc5, 0x175},
        {"RC5 address 1F command 3F", Rc5Code(0x1F, 0x3F), EIrProtocol::Rc5, 0x7FF},
        {"RC6 address 80 command 0C", Rc6Code(0x80, 0x0C), EIrProtocol::Rc6, 0x4006},
        {"RC6 address A5 command 3C", Rc6Code(0xA5, 0x3C), EIrProtocol::Rc6, 0x529E},
        {"SHARP address 1 command 5A", SharpCode(1, 0x5A), EIrProtocol::Sharp, 0x2B41},
        {"SHARP address 2 command 11", SharpCode(2, 0x11), EIrProtocol::Sharp, 0x2222},
    };
    for (const CDecodeCase& c : cases)
    {
        CIrDecodeResult r = Decode(c.words);
        EXPECT_EQ(EIrDecodeOutcome::Accepted, r.m_eOutcome) << c.name;
        EXPECT_EQ(c.protocol, r.m_eProtocol) << c.name;
        EXPECT_EQ(c.code, r.m_nCode) << c.name << ": " << std::hex << r.m_nCode;
    }
}

// Codes as remote-control databases print them, typed in rather than generated.
TEST(IrDecoder, DecodesPrintedProntoCodes)
{
    const CDecodeCase cases[] = {
        {"Sony TV power",
         FromText("0000 0067 0000 000D 0060 0018 0030 0018 0018 0018 0030 0018 0018 0018 0030 0018 0018 0018 "
                  "0018 0018 0030 0018 0018 0018 0018 0018 0018 0018 0018 03DE"),
         EIrProtocol::Sony12, 0x95},
        {"Philips RC5 address 0 command 12",
         FromText("0000 0073 0000 000C 0020 0020 0040 0020 0020 0020 0020 0020 0020 0020 0020 0020 0020 0020 "
                  "0020 0020 0020 0040 0020 0020 0040 0020 0020 0CC8"),
         EIrProtocol::Rc5, 0x0C},
        {"NEC with 0157/00AC leader and repeat",
         FromText("0000 006D 0022 0002 0157 00AC 0015 0016 0015 0016 0015 0041 0015 0016 0015 0016 0015 0016 "
                  "0015 0016 0015 0016 0015 0041 0015 0041 0015 0016 0015 0041 0015 0041 0015 0041 0015 0041 "
                  "0015 0041 0015 0016 0015 0016 0015 0016 0015 0041 0015 0016 0015 0016 0015 0016 0015 0016 "
                  "0015 0041 0015 0041 0015 0041 0015 0016 0015 0041 0015 0041 0015 0041 0015 0041 0015 0689 "
                  "0157 0056 0015 0E94"),
         EIrProtocol::Nec, 0xF708FB04},
    };
    for (const CDecodeCase& c : cases)
    {
        CIrDecodeResult r = Decode(c.words);
        EXPECT_EQ(EIrDecodeOutcome::Accepted, r.m_eOutcome) << c.name;
        EXPECT_EQ(c.protocol, r.m_eProtocol) << c.name;
        EXPECT_EQ(c.code, r.m_nCode) << c.name << ": " << std::hex << r.m_nCode;
    }
}

TEST(IrDecoder, ClassifiesByTheFirstPairAndTheEarlierRuleWins)
{
    struct CCase
    {
        uint16_t mark, space, gap;
        EIrProtocol protocol;
    };
    const CCase cases[] = {
        {342, 171, 1518, EIrProtocol::Nec},
        {342, 171, 1019, EIrProtocol::Hitachi},
        {342, 171, 1270, EIrProtocol::Hitachi},
        {342, 171, 600, EIrProtocol::Empty},
        {10, 70, 0, EIrProtocol::Sharp},
        {10, 30, 0, EIrProtocol::Sharp},
        {10, 50, 0, EIrProtocol::Empty},
        {125, 100, 0, EIrProtocol::Rc5},
        {126, 100, 0, EIrProtocol::Empty},
        {0, 100, 0, EIrProtocol::Empty},
        {100, 0, 0, EIrProtocol::Empty},
        {96, 32, 0, EIrProtocol::Rc6},
        {245, 100, 1518, EIrProtocol::Nec},
        {345, 100, 0, EIrProtocol::Rc6}, // 2.45 is near 2 and 3; 3.45 near 3 and 4
    };
    for (const CCase& c : cases)
    {
        Words words = FirstPairCode(c.mark, c.space, c.gap);
        EXPECT_EQ(c.protocol, ClassifyIrCode(words.data(), words.size())) << c.mark << "/" << c.space;
    }
    // Sony lengths come from the repeat count (the once count only when there is no
    // repeat sequence: SonyFrameInTheOnceSequence).
    Words sony = FirstPairCode(96, 24);
    for (auto [repeat, protocol] : {std::pair{13, EIrProtocol::Sony12},
                                    {16, EIrProtocol::Sony15},
                                    {21, EIrProtocol::Sony20},
                                    {14, EIrProtocol::Empty}})
    {
        sony[3] = uint16_t(repeat);
        EXPECT_EQ(protocol, ClassifyIrCode(sony.data(), sony.size())) << repeat;
    }
    // Word 71 is looked for only when it exists.
    Words shortNec = FirstPairCode(342, 171, 1518, 71);
    EXPECT_EQ(EIrProtocol::Empty, ClassifyIrCode(shortNec.data(), shortNec.size()));
    EXPECT_EQ(EIrProtocol::Empty, ClassifyIrCode(shortNec.data(), 5));
}

TEST(IrDecoder, RejectsWithTheTraceOfTheFailedStep)
{
    std::string trace;
    CIrDecodeResult r = Decode(FirstPairCode(342, 171, 600), &trace);
    EXPECT_EQ(EIrDecodeOutcome::Rejected, r.m_eOutcome);
    EXPECT_EQ(EIrProtocol::Empty, r.m_eProtocol);
    EXPECT_EQ("----Not know\n", trace);

    Words tooFewPairs = FirstPairCode(342, 171, 1584);
    tooFewPairs[2] = 20;
    tooFewPairs[3] = 13;
    EXPECT_EQ(EIrDecodeOutcome::Rejected, Decode(tooFewPairs, &trace).m_eOutcome);
    EXPECT_EQ("----NEC\n***NULL***\n", trace);
    tooFewPairs[71] = 1019;
    EXPECT_EQ(EIrDecodeOutcome::Rejected, Decode(tooFewPairs, &trace).m_eOutcome);
    EXPECT_EQ("***NULL***\n", trace); // HITACHI announces no protocol line

    EXPECT_EQ(EIrDecodeOutcome::Rejected, Decode(FirstPairCode(342, 171, 1518, 71), &trace).m_eOutcome);
    EXPECT_EQ("----Not know\n", trace);

    // An NEC repeat burst alone looks like Sony by its ratio, but has 2 repeat pairs.
    Words necRepeat = ProntoWords(kFreq38k, {}, {342, 86, 21, 3700});
    EXPECT_EQ(EIrDecodeOutcome::Rejected, Decode(necRepeat, &trace).m_eOutcome);
    EXPECT_EQ("----Not know\n", trace);

    Words sharp = SharpCode(1, 0x5A);
    sharp[3] = 31;
    EXPECT_EQ(EIrDecodeOutcome::Rejected, Decode(sharp, &trace).m_eOutcome);
    EXPECT_EQ("----SHARP\n", trace);

    Words silent = NecCode(4, 8);
    silent[1] = 0;
    r = Decode(silent, &trace);
    EXPECT_EQ(EIrDecodeOutcome::NotDecoded, r.m_eOutcome);
    EXPECT_EQ("", trace);
}

// A Sony frame learned into the once sequence, with an empty repeat sequence, is read
// there with the repeat sequence's checks; with a repeat sequence present, or a once
// sequence that is not exactly one frame long, nothing changes.
TEST(IrDecoder, SonyFrameInTheOnceSequence)
{
    struct CCase
    {
        Words words;
        EIrProtocol protocol;
        uint32_t code;
    };
    const CCase cases[] = {
        {SonyOnceCode(0x15, 1), EIrProtocol::Sony12, 0x95},
        {SonyOnceCode(0x7F, 0xA5, 15), EIrProtocol::Sony15, 0x52FF},
        {SonyOnceCode(0x01, 0x1ABC, 20), EIrProtocol::Sony20, 0xD5E01},
    };
    for (const CCase& c : cases)
    {
        ASSERT_EQ(0, c.words[3]);
        std::string trace;
        CIrDecodeResult r = Decode(c.words, &trace);
        EXPECT_EQ(EIrDecodeOutcome::Accepted, r.m_eOutcome) << c.words[2];
        EXPECT_EQ(c.protocol, r.m_eProtocol) << c.words[2];
        EXPECT_EQ(c.code, r.m_nCode) << c.words[2];
        EXPECT_EQ(c.protocol, ClassifyIrCode(c.words.data(), c.words.size()));
        // The same trace as the frame in the repeat sequence gives.
        Words repeated = c.words;
        std::swap(repeated[2], repeated[3]);
        std::string repeatTrace;
        Decode(repeated, &repeatTrace);
        EXPECT_EQ(repeatTrace, trace);
    }
    std::string trace;
    Decode(SonyOnceCode(0x15, 1), &trace);
    EXPECT_EQ("----Sony\n---\n0030 0018 0030 0018 0030 0018 0018 0030 0018 0018 0018 0018 95 \n", trace);

    // A once sequence one pair longer than a frame: no Sony length.
    Words longer = SonyOnceCode(0x15, 1);
    longer[2] = 14;
    longer.insert(longer.end(), {24, 24});
    EXPECT_EQ(EIrDecodeOutcome::Rejected, Decode(longer, &trace).m_eOutcome);
    EXPECT_EQ("----Not know\n", trace);
    // With a repeat sequence, its count decides, as before: an NEC repeat burst after a
    // 13-pair once sequence is not Sony.
    Words withRepeat = SonyOnceCode(0x15, 1);
    withRepeat[3] = 1;
    withRepeat.insert(withRepeat.end(), {96, 1000});
    EXPECT_EQ(EIrDecodeOutcome::Rejected, Decode(withRepeat, &trace).m_eOutcome);
    EXPECT_EQ("----Not know\n", trace);
    // A once sequence that promises more pairs than there are words.
    Words cut = SonyOnceCode(0x15, 1);
    cut.resize(cut.size() - 4);
    EXPECT_EQ(EIrDecodeOutcome::Rejected, Decode(cut, &trace).m_eOutcome);
    EXPECT_EQ("----Sony\n", trace);
    // The reference durations are those of the repeat sequence's decoder: at F = 103
    // (R = 48) a mark of 61 is no 1.
    Words slow = SonyOnceCode(0x01, 0);
    slow[4 + 2] = 61;
    CIrDecodeResult r = Decode(slow);
    EXPECT_EQ(EIrDecodeOutcome::Accepted, r.m_eOutcome);
    EXPECT_EQ(0u, r.m_nCode);
}

TEST(IrDecoder, WritesTheDecodersTraceLines)
{
    std::string trace;
    Decode(NecCode(0x04, 0x08), &trace);
    std::string words;
    for (uint32_t bits = 0xF708FB04, i = 0; i < 32; ++i)
        words += (bits >> i) & 1 ? "0040 " : "0015 ";
    EXPECT_EQ("----NEC\n---\n" + words + "F708FB04 \n", trace);

    Decode(SonyCode(0x15, 1), &trace);
    EXPECT_EQ("----Sony\n---\n0030 0018 0030 0018 0030 0018 0018 0030 0018 0018 0018 0018 95 \n", trace);

    Decode(Rc5Code(5, 0x35), &trace);
    EXPECT_EQ("----RC5\n11000101110101\n", trace);

    // RC6 leaves its line open. The first bit comes from the trailer's space, the last
    // two from the command's last bit and the final gap, counted as two half bits.
    Decode(Rc6Code(0x80, 0x0C), &trace);
    EXPECT_EQ("----RC6\n010000000000011000", trace);
}

TEST(IrDecoder, ReferenceDurationsAreTruncated)
{
    // F = 103 gives K = 40 and a Sony reference of 48, so 61 is no longer near; an
    // untruncated K of 40.72 would give 48.87, to which 61 is near.
    Words sony = SonyCode(0x01, 0);
    EXPECT_EQ(0x01u, Decode(sony).m_nCode);
    sony[6] = 60; // near 48
    EXPECT_EQ(0x01u, Decode(sony).m_nCode);
    sony[6] = 61; // 61 > 1.25 x 48
    EXPECT_EQ(0x00u, Decode(sony).m_nCode);

    // NEC at F = 109: K = 38, reference trunc(38 x 1.69) = 64: 52 and 80 are near, 81 is
    // not (it would be near the 65.03 of an untruncated K).
    Words nec = NecFrame(0);
    nec[7] = 52;
    nec[9] = 80;
    nec[11] = 81;
    EXPECT_EQ(0x3u, Decode(nec).m_nCode);
}

TEST(IrDecoder, RunsOutOfWordsWithoutReadingPastThem)
{
    // Each code cut short: the copy holds exactly the words given, so a read past the
    // end is caught by the address sanitizer. A cut code is rejected, or decodes as the
    // whole one when it still holds every word its decoder reads.
    const Words codes[] = {NecCode(4, 8),       SonyCode(0x15, 1),  Rc5Code(5, 0x35),
                           Rc6Code(0x80, 0x0C), SharpCode(1, 0x5A), NecFrame(0x1234, 1019)};
    for (const Words& full : codes)
    {
        CIrDecodeResult whole = DecodeIrCode(full, nullptr);
        for (std::size_t n = 0; n < full.size(); ++n)
        {
            Words cut(full.begin(), full.begin() + std::ptrdiff_t(n));
            CIrDecodeResult r = DecodeIrCode(cut.data(), cut.size(), nullptr);
            if (r.m_eOutcome != EIrDecodeOutcome::Accepted)
                continue;
            EXPECT_EQ(whole.m_eProtocol, r.m_eProtocol) << n;
            EXPECT_EQ(whole.m_nCode, r.m_nCode) << n;
        }
    }
    // Sony whose repeat count promises more bits than there are words.
    Words sony = SonyCode(0x15, 1);
    sony.resize(sony.size() - 4);
    EXPECT_EQ(EIrDecodeOutcome::Rejected, Decode(sony).m_eOutcome);
    // RC5 whose words end before 14 bits are collected.
    Words rc5 = Rc5Code(5, 0x35);
    rc5.resize(rc5.size() - 6);
    EXPECT_EQ(EIrDecodeOutcome::Rejected, Decode(rc5).m_eOutcome);
    // RC6 ending before 16 bits.
    Words rc6 = Rc6Code(0x80, 0x0C);
    rc6.resize(24);
    EXPECT_EQ(EIrDecodeOutcome::Rejected, Decode(rc6).m_eOutcome);
    // A SHARP repeat count far beyond the words.
    Words sharp = SharpCode(1, 0x5A);
    sharp[2] = 400;
    EXPECT_EQ(EIrDecodeOutcome::Rejected, Decode(sharp).m_eOutcome);
}

TEST(IrDecoder, IsNearAndPackBits)
{
    EXPECT_TRUE(IsNear(0, 0));
    EXPECT_FALSE(IsNear(0, 1));
    EXPECT_TRUE(IsNear(80, 100));
    EXPECT_TRUE(IsNear(125, 100));
    EXPECT_FALSE(IsNear(79.9, 100));
    EXPECT_FALSE(IsNear(125.1, 100));
    EXPECT_TRUE(IsNear(100, 125));
    EXPECT_TRUE(IsNear(1.25, 1));

    const uint8_t bits[32] = {1, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                              0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    EXPECT_EQ(0xDu, PackBits(bits, 4, false));
    EXPECT_EQ(0xBu, PackBits(bits, 4, true));
    EXPECT_EQ(0x8000000Du, PackBits(bits, 32, false));
    EXPECT_EQ(0xB0000001u, PackBits(bits, 32, true));
    EXPECT_EQ(0u, PackBits(bits, 0, true));
    EXPECT_EQ(0x8000000Du, PackBits(bits, 40, false)); // more than 32 bits is cut to 32
}

TEST(IrDecoder, ProtocolNames)
{
    EXPECT_STREQ("EMPTY", IrProtocolName(EIrProtocol::Empty));
    EXPECT_STREQ("NEC", IrProtocolName(EIrProtocol::Nec));
    EXPECT_STREQ("SONY20", IrProtocolName(EIrProtocol::Sony20));
    EXPECT_STREQ("HITACHI", IrProtocolName(EIrProtocol::Hitachi));
    EXPECT_STREQ("EMPTY", IrProtocolName(EIrProtocol(9)));
    EXPECT_STREQ("EMPTY", IrProtocolName(EIrProtocol(-1)));
}

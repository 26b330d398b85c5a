// corvalin-cli decode, ccf and ir-import, end to end.

#include "CliTestSupport.h"

#include "device/Updater.h"
#include "params/DisplayList.h"
#include "tools/fixtures/CcfBuilder.h"
#include "tools/fixtures/ImageBuilder.h"
#include "tools/fixtures/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

using namespace corvalin;
using namespace corvalin::fixtures;
using namespace corvalin::testing;

TEST(CliDecode, PrintsProtocolAndCodeOrTheOutcome)
{
    CProcessResult nec = Cli({"decode", ToProntoText(NecCode(0x04, 0x08))});
    EXPECT_EQ(0, nec.exitCode);
    EXPECT_EQ("NEC 0xF708FB04\n", nec.out);
    EXPECT_EQ("", nec.err);

    // Words may come one an argument, in either letter case.
    std::vector<std::string> args = {"decode"};
    for (uint16_t word : Rc5Code(5, 0x35))
    {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%04x", unsigned(word));
        args.push_back(hex);
    }
    EXPECT_EQ("RC5 0x175\n", Cli(args).out);

    CProcessResult rejected = Cli({"decode", "0000 006D 0000 0001 000A 0032"});
    EXPECT_EQ(0, rejected.exitCode);
    EXPECT_EQ("rejected\n", rejected.out);
    CProcessResult silent = Cli({"decode", "0000 0000 0000 0001 000A 0032"});
    EXPECT_EQ(0, silent.exitCode);
    EXPECT_EQ("not decoded\n", silent.out);

    CProcessResult traced = Cli({"decode", "--trace", "0000 006D 0000 0001 000A 0032"});
    EXPECT_EQ("rejected\n", traced.out);
    EXPECT_EQ("----Not know\n", traced.err);

    for (const char* bad : {"006", "0000 1G00", "00000", "0x12"})
        EXPECT_EQ(2, Cli({"decode", bad}).exitCode) << bad;
    EXPECT_EQ(2, Cli({"decode"}).exitCode);
    EXPECT_EQ(2, Cli({"decode", "  "}).exitCode);
}

TEST(CliCcf, PrintsTheKeyListAsJson)
{
    CTempDir dir;
    CCcfBuilder ccf;
    uint32_t bitmap = ccf.Bitmap(0x0081, {0x83});
    uint32_t volUp = ccf.IrButton("Vol+", SonyCode(0x12, 1), bitmap, 48, 24);
    uint32_t quote = ccf.IrButton("\"\xAA\\", NecCode(4, 8));
    ccf.SetHeaderPanels(ccf.Panel("P", {ButtonAt(3, 4, volUp), ButtonAt(0, 0, quote)}));
    WriteFileBytes(dir / "r.ccf", ccf.Build());

    CProcessResult r = Cli({"ccf", (dir / "r.ccf").string()});
    EXPECT_EQ(0, r.exitCode);
    EXPECT_EQ(
        "[\n"
        "  {\"protocol\": 5, \"protocolName\": \"SONY12\", \"label\": \"Vol+\", \"x\": 3, \"y\": 4, "
        "\"width\": 48, \"height\": 24, \"code\": 146, \"bitmapFlags\": 129, \"hasBitmap\": true, "
        "\"textColor\": 3, \"fontSize\": 2},\n"
        "  {\"protocol\": 1, \"protocolName\": \"NEC\", \"label\": \"\\\"\xC2\xAA\\\\\", \"x\": 0, \"y\": 0, "
        "\"width\": 60, \"height\": 20, \"code\": 4144560900, \"bitmapFlags\": 0, \"hasBitmap\": false, "
        "\"textColor\": 3, \"fontSize\": 2}\n"
        "]\n",
        r.out);
    EXPECT_EQ("", r.err);

    CProcessResult traced = Cli({"ccf", "--trace", (dir / "r.ccf").string()});
    EXPECT_EQ(r.out, traced.out);
    EXPECT_EQ(0u, traced.err.find("Layout: grey\nPanel: P\nParseButton\nButton: Vol+\n"));

    CCcfBuilder empty;
    WriteFileBytes(dir / "e.ccf", empty.Build());
    EXPECT_EQ("[]\n", Cli({"ccf", (dir / "e.ccf").string()}).out);

    CProcessResult missing = Cli({"ccf", (dir / "nope.ccf").string()});
    EXPECT_EQ(1, missing.exitCode);
    // The dialog's text, then why.
    EXPECT_EQ("CAN NOT OPEN\ncorvalin-cli: " + (dir / "nope.ccf").string() + ": " + std::strerror(ENOENT) +
                  "\n",
              missing.err);
    EXPECT_EQ("", missing.out);
    EXPECT_EQ(2, Cli({"ccf"}).exitCode);
}

// The same remote in the grey, grey with UDB, colour with UDB and colour with timers
// layouts: the same key list, but for the text colour, which a colour file gives as a
// palette index; --trace names the layout first.
TEST(CliCcf, ListsTheSameKeysForEveryLayoutAndTracesTheLayout)
{
    CTempDir dir;
    struct CCase
    {
        const char* file;
        CCcfFileLayout layout;
        const char* traceLine;
    };
    const CCase cases[] = {
        {"grey.ccf", kCcfGrey, "Layout: grey\n"},
        {"grey-udb.ccf", kCcfGreyUdb, "Layout: grey, UDB\n"},
        {"colour-udb.ccf", kCcfColourUdb, "Layout: colour, UDB\n"},
        {"colour-timers.ccf", kCcfColourTimers, "Layout: colour, timers\n"},
    };
    // The text colours of the colour files are the palette's equivalents of the grey
    // levels; put back as levels, the lists are the same byte for byte.
    auto asGrey = [](std::string json)
    {
        const std::pair<const char*, const char*> colours[] = {{"\"textColor\": 215,", "\"textColor\": 3,"},
                                                               {"\"textColor\": 245,", "\"textColor\": 2,"},
                                                               {"\"textColor\": 251,", "\"textColor\": 1,"}};
        for (auto [from, to] : colours)
        {
            for (std::size_t at = json.find(from); at != std::string::npos; at = json.find(from, at))
                json.replace(at, std::string(from).size(), to);
        }
        return json;
    };
    std::string grey;
    for (const CCase& c : cases)
    {
        WriteFileBytes(dir / c.file, BuildLayoutRemote(c.layout));
        CProcessResult r = Cli({"ccf", (dir / c.file).string()});
        EXPECT_EQ(0, r.exitCode) << c.file;
        EXPECT_EQ(22, std::count(r.out.begin(), r.out.end(), '{')) << c.file;
        if (grey.empty())
            grey = r.out;
        EXPECT_EQ(grey, asGrey(r.out)) << c.file;
        CProcessResult traced = Cli({"ccf", "--trace", (dir / c.file).string()});
        EXPECT_EQ(r.out, traced.out) << c.file;
        EXPECT_EQ(0u, traced.err.find(std::string(c.traceLine) + "Device: TV\n")) << c.file;
    }
    EXPECT_NE(std::string::npos, grey.find("\"label\": \"Sony once\", \"x\": 0, \"y\": 60, \"width\": 40, "
                                           "\"height\": 16, \"code\": 279,"));
}

class CliIrImportTest : public ::testing::Test
{
  protected:
    CliIrImportTest()
    {
        CImageSpec imageSpec;
        imageSpec.params = {{0x10030001, 1}, {0x50160001, 0}, {0x50160003, 0},
                            {0x5016000A, 0}, {0x5016000C, 0}, {0x5016000D, 0}};
        WriteFileBytes(m_dir / "in.img", BuildImageFile(imageSpec));
        CImageSpec plain;
        plain.params = {{0x10030001, 1}};
        WriteFileBytes(m_dir / "plain.img", BuildImageFile(plain));

        CCcfBuilder ccf;
        std::vector<CCcfChild> keys = {
            ButtonAt(0, 0, ccf.IrButton("Vol+", NecCode(4, 2))),
            ButtonAt(0, 0, ccf.IrButton("Mute", NecCode(4, 9))),
            ButtonAt(0, 0, ccf.IrButton("Mute", NecCode(4, 10))),
            ButtonAt(0, 0, ccf.IrButton("Next", Rc5Code(5, 0x20))),
            ButtonAt(0, 0, ccf.IrButton("\xAA", Rc5Code(5, 0x21))),
        };
        ccf.SetHeaderPanels(ccf.Panel("P", keys));
        WriteFileBytes(m_dir / "r.ccf", ccf.Build());
    }

    std::vector<std::string> Args(std::initializer_list<std::string> picks, const char* image = "in.img")
    {
        std::vector<std::string> args = {"ir-import", (m_dir / image).string(), (m_dir / "r.ccf").string(),
                                         "-o", (m_dir / "out.img").string()};
        args.insert(args.end(), picks);
        return args;
    }

    // The stored image's parameter list, read back through the program under test.
    ImageHeader Stored()
    {
        CUpdater updater;
        EXPECT_EQ(1, updater.LoadImageFile(m_dir / "out.img"));
        return updater.Header();
    }

    CTempDir m_dir;
};

TEST_F(CliIrImportTest, DefaultNamesThenPicksThenTheHandOff)
{
    CProcessResult r = Cli(Args({"Track Up=Next", "Mute=Mute", "Phone Pick Up=Vol+", "Vol -=EMPTY"}));
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ(FormatParameterLine(PadLabel("Rear view camera"), 0x10030001, 1) + "\n" +
                  FormatParameterLine(PadLabel("IR TYPE"), kIrTypeParameter, 0) + "\n",
              r.out);
    ImageHeader h = Stored();
    EXPECT_EQ(0u, GetParamValue(h, 1));          // Vol -: erased
    EXPECT_EQ(0xFD02FB04u, GetParamValue(h, 2)); // Vol +: default name
    EXPECT_EQ(0xF50AFB04u, GetParamValue(h, 3)); // Mute: the last key labelled so
    EXPECT_EQ(0x160u, GetParamValue(h, 4));      // Track Up: picked
    EXPECT_EQ(0xFD02FB04u, GetParamValue(h, 5)); // Phone Pick Up: picked
    EXPECT_EQ(kIrTypeParameter, GetParamId(h, 6));
    EXPECT_NE(std::string::npos, r.err.find("Track Up: (RC5)  0x160\n"));
}

TEST_F(CliIrImportTest, LabelsInUtf8MeetTheirLatin1Bytes)
{
    CProcessResult r = Cli(Args({"Phone Pick Up=\xC2\xAA"}));
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ(0x161u, GetParamValue(Stored(), 5));
}

TEST_F(CliIrImportTest, Failures)
{
    CProcessResult unknownLabel = Cli(Args({"Mute=Nope"}));
    EXPECT_EQ(1, unknownLabel.exitCode);
    EXPECT_NE(std::string::npos, unknownLabel.err.find("no key labelled 'Nope'"));
    EXPECT_FALSE(std::filesystem::exists(m_dir / "out.img"));

    EXPECT_EQ(2, Cli(Args({"Volume=Vol+"})).exitCode);
    EXPECT_EQ(2, Cli(Args({"2=Vol+"})).exitCode); // a hidden key
    EXPECT_EQ(2, Cli(Args({"Mute"})).exitCode);
    EXPECT_EQ(2, Cli({"ir-import", (m_dir / "in.img").string(), (m_dir / "r.ccf").string()}).exitCode);

    CProcessResult noButtons = Cli(Args({}, "plain.img"));
    EXPECT_EQ(1, noButtons.exitCode);
    EXPECT_NE(std::string::npos, noButtons.err.find("no IR button parameters"));

    std::vector<std::string> badCcf = Args({});
    badCcf[2] = (m_dir / "missing.ccf").string();
    CProcessResult cannotOpen = Cli(badCcf);
    EXPECT_EQ(1, cannotOpen.exitCode);
    EXPECT_NE(std::string::npos, cannotOpen.err.find("CAN NOT OPEN\n"));
    EXPECT_FALSE(std::filesystem::exists(m_dir / "out.img"));
}

// Settings that travel: corvalin-cli params --json, set --settings and diff, end to
// end on image files written by the fixtures.

#include "CliTestSupport.h"

#include "BuildVersion.h"
#include "device/Updater.h"
#include "params/ParameterTable.h"
#include "tools/fixtures/ImageBuilder.h"
#include "tools/fixtures/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

using namespace corvalin;
using namespace corvalin::fixtures;
using namespace corvalin::testing;

namespace
{

void WriteText(const std::filesystem::path& path, const std::string& text)
{
    WriteFileBytes(path, Bytes(text.begin(), text.end()));
}

class SettingsJsonTest : public ::testing::Test
{
  protected:
    SettingsJsonTest()
    {
        CImageSpec a;
        a.params = {
            {0x10030001, 0},          // Rear view camera
            {0x30120001, 25},         // CH0.Volume
            {0x601A0001, 11},         // Volvo Model
            {0x50160003, 0xF708FB04}, // IR.BTN3, not listed
            {0x50050003, 0x1F4},      // Network Shutdown delay
            {0x30170001, 1},          // TV System: only in A
            {0x30120001, 30},         // CH0.Volume again: B has only one
            {0x40990001, 7},          // not in the table: never in a document
        };
        a.bodySeed = 1;
        CImageSpec b;
        b.params = {
            {0x50050003, 0x7D0}, {0x50160003, 0},
            {0x601A0001, 2},     {0x10030004, 1}, // Front view camera: only in B
            {0x30120001, 20},    {0x10030001, 1},
        };
        b.bodySeed = 2;
        m_a = m_dir / "a.img";
        m_b = m_dir / "b.img";
        m_bBytes = BuildImageFile(b);
        WriteFileBytes(m_a, BuildImageFile(a));
        WriteFileBytes(m_b, m_bBytes);
    }

    std::string SettingsOfA()
    {
        CProcessResult r = Cli({"params", "--json", m_a.string()});
        EXPECT_EQ(0, r.exitCode) << r.err;
        return r.out;
    }

    CTempDir m_dir;
    std::filesystem::path m_a;
    std::filesystem::path m_b;
    Bytes m_bBytes;
};

} // namespace

TEST_F(SettingsJsonTest, DocumentHoldsEveryParameterWithTheListsText)
{
    const nlohmann::json document = nlohmann::json::parse(SettingsOfA());
    EXPECT_EQ("00010000", document.at("hardware"));
    EXPECT_TRUE(document.at("product").is_null()); // an image file, no bundle member
    EXPECT_EQ(kVersion, document.at("corvalinVersion"));
    const nlohmann::json& items = document.at("parameters");
    ASSERT_EQ(7u, items.size()); // the unknown identifier is left out

    const nlohmann::json& button = items[3];
    EXPECT_EQ(3, button.at("slot"));
    EXPECT_EQ("50160003", button.at("identifier"));
    EXPECT_EQ("IR.BTN3", button.at("label"));
    EXPECT_EQ(5, button.at("type"));
    EXPECT_EQ(0xF708FB04u, button.at("value").get<uint32_t>());
    EXPECT_EQ("$F708FB04", button.at("text"));
    EXPECT_TRUE(button.at("line").is_null());
    EXPECT_EQ("XC90", items[2].at("text"));

    // The lines are the ones params prints, in the same order.
    std::string lines;
    for (const nlohmann::json& item : items)
    {
        if (!item.at("line").is_null())
            lines += item.at("line").get<std::string>() + "\n";
    }
    EXPECT_EQ(Cli({"params", m_a.string()}).out, lines);
}

TEST_F(SettingsJsonTest, SettingsGoByIdentifierAndReportWhatDoesNotMatch)
{
    const auto settings = m_dir / "a.json";
    const auto out = m_dir / "out.img";
    WriteText(settings, SettingsOfA());
    CProcessResult r = Cli({"set", m_b.string(), "-o", out.string(), "--settings", settings.string()});
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ("Loading image\nImage loaded\n"
              "not in the image, left out: parameters[5] 30170001 TV System 0-NTSC 1-PAL\n"
              "not in the image, left out: parameters[6] 30120001 CH0.Volume\n"
              "not in the settings, kept as it is: slot 3 10030004 Front view camera\n"
              "Writing image\nImage stored\n",
              r.err);

    CUpdater check;
    ASSERT_EQ(1, check.LoadImageFile(out));
    const uint32_t expected[][2] = {{0x50050003, 0x1F4}, {0x50160003, 0xF708FB04}, {0x601A0001, 11},
                                    {0x10030004, 1},     {0x30120001, 25},         {0x10030001, 0}};
    for (int slot = 0; slot < 6; ++slot)
    {
        EXPECT_EQ(expected[slot][0], GetParamId(check.Header(), slot)) << slot;
        EXPECT_EQ(expected[slot][1], GetParamValue(check.Header(), slot)) << slot;
    }
    Bytes stored = ReadFileBytes(out);
    EXPECT_TRUE(std::equal(m_bBytes.begin() + 444, m_bBytes.end(), stored.begin() + 444));

    // Assignments come after the settings and win over them.
    CProcessResult both =
        Cli({"set", m_b.string(), "-o", out.string(), "--settings", settings.string(), "CH0.Volume=7"});
    ASSERT_EQ(0, both.exitCode) << both.err;
    ASSERT_EQ(1, check.LoadImageFile(out));
    EXPECT_EQ(7u, GetParamValue(check.Header(), 4));
}

TEST_F(SettingsJsonTest, BadDocumentsWriteNothing)
{
    const auto settings = m_dir / "bad.json";
    const auto out = m_dir / "out.img";
    struct Case
    {
        std::string document;
        const char* message;
    };
    // Each has a good entry first, so a partial write would show.
    const std::string good = R"({"identifier": "30120001", "value": 9}, )";
    const Case cases[] = {
        {R"({"parameters": [)" + good, "not valid JSON"},
        {"", "not valid JSON"},
        {R"([{"identifier": "30120001", "value": 9}])", "no \"parameters\" list"},
        {R"({"parameters": [)" + good + R"({"identifier": "1012000", "value": 1}]})",
         "parameters[1]: \"identifier\""},
        {R"({"parameters": [)" + good + R"({"identifier": "1003000G", "value": 1}]})", "8 hex digits"},
        {R"({"parameters": [)" + good + R"({"identifier": 268632065, "value": 1}]})", "8 hex digits"},
        {R"({"parameters": [)" + good + R"({"identifier": "10030001", "value": "on"}]})",
         "parameters[1] (10030001 Rear view camera): \"value\" must be a whole number"},
        {R"({"parameters": [)" + good + R"({"identifier": "30120001", "value": 1.5}]})", "whole number"},
        {R"({"parameters": [)" + good + R"({"identifier": "50050003", "value": 4294967296}]})",
         "whole number"},
        {R"({"parameters": [)" + good + R"({"identifier": "30120001", "value": -2147483649}]})",
         "whole number"},
        {R"({"parameters": [)" + good + R"({"identifier": "10030001", "value": 2}]})",
         "parameters[1] (10030001 Rear view camera): a switch is 0 (off) or 1 (on), not 2"},
        {R"({"parameters": [)" + good + R"({"identifier": "601A0001", "value": 12}]})",
         "a Volvo model is 0 to 11"},
        // Keys given twice, of which a parser would quietly keep one.
        {R"({"parameters": [{"identifier": "30120001", "value": 9}], "parameters": []})",
         "the key \"parameters\" is given twice at the top of the document"},
        {R"({"parameters": [)" + good + R"({"identifier": "10030001", "value": 1, "value": 0}]})",
         "the key \"value\" is given twice in parameters[1]"},
        // The same parameter twice: by its slot, or without one to tell them apart.
        {R"({"parameters": [{"slot": 4, "identifier": "30120001", "value": 9}, {"identifier": "10030001", "value": 1},
                            {"slot": 4, "identifier": "30120001", "value": 7}]})",
         "parameters[0] and parameters[2]: both set 30120001 CH0.Volume\n"},
        {R"({"parameters": [)" + good + R"({"identifier": "30120001", "value": 7}]})",
         "parameters[0] and parameters[1]: both set 30120001 CH0.Volume (an image that carries it more than "
         "once "
         "needs a \"slot\" in each)"},
        {R"({"parameters": [)" + good + R"({"slot": 50, "identifier": "10030001", "value": 1}]})",
         "parameters[1] (10030001 Rear view camera): \"slot\" must be a whole number from 0 to 49"},
        {R"({"hardware": "0001000", "parameters": [{"identifier": "30120001", "value": 9}]})",
         "\"hardware\" must be 8 hex digits"},
    };
    for (const Case& c : cases)
    {
        WriteText(settings, c.document);
        CProcessResult r = Cli({"set", m_b.string(), "-o", out.string(), "--settings", settings.string()});
        EXPECT_EQ(1, r.exitCode) << c.document;
        EXPECT_NE(std::string::npos, r.err.find("corvalin-cli: " + settings.string() + ": ")) << r.err;
        EXPECT_NE(std::string::npos, r.err.find(c.message)) << c.document << "\n" << r.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << c.document;
    }

    // Negative numbers are two's complement, and "Volvo Model" may be left without a choice.
    WriteText(settings, R"({"parameters": [{"identifier": "30120001", "value": -3},
                                           {"identifier": "601a0001", "value": 4294967295}]})");
    CProcessResult r = Cli({"set", m_b.string(), "-o", out.string(), "--settings", settings.string()});
    ASSERT_EQ(0, r.exitCode) << r.err;
    CUpdater check;
    ASSERT_EQ(1, check.LoadImageFile(out));
    EXPECT_EQ(0xFFFFFFFDu, GetParamValue(check.Header(), 4));
    EXPECT_EQ(0xFFFFFFFFu, GetParamValue(check.Header(), 2));

    EXPECT_EQ(1, Cli({"set", m_b.string(), "-o", out.string(), "--settings", (m_dir / "none.json").string()})
                     .exitCode);
    EXPECT_EQ(2, Cli({"set", m_b.string(), "-o", out.string(), "--settings"}).exitCode);
}

TEST_F(SettingsJsonTest, OldDocumentsStillReadAndStrictRefusesWhatDoesNotFit)
{
    const auto settings = m_dir / "a.json";
    const auto out = m_dir / "out.img";
    const std::string path = settings.string();

    // Written before documents named their source.
    nlohmann::ordered_json old = nlohmann::ordered_json::parse(SettingsOfA());
    old.erase("hardware");
    old.erase("product");
    old.erase("corvalinVersion");
    WriteText(settings, old.dump(2));
    CProcessResult r = Cli({"set", m_b.string(), "-o", out.string(), "--settings", path});
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ(
        0u,
        r.err.find("Loading image\nImage loaded\nsettings without a hardware code (written before documents "
                   "named their source): not checked against the image's 00010000\nnot in the image"))
        << r.err;
    CUpdater check;
    ASSERT_EQ(1, check.LoadImageFile(out));
    EXPECT_EQ(25u, GetParamValue(check.Header(), 4));
    std::filesystem::remove(out);

    r = Cli({"set", m_b.string(), "-o", out.string(), "--settings", path, "--strict"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ("Loading image\nImage loaded\n"
              "corvalin-cli: " +
                  path +
                  ": no hardware code, so the settings cannot be checked against the image's "
                  "00010000\n"
                  "corvalin-cli: " +
                  path +
                  ": not in the image: parameters[5] 30170001 TV System 0-NTSC 1-PAL\n"
                  "corvalin-cli: " +
                  path +
                  ": not in the image: parameters[6] 30120001 CH0.Volume\n"
                  "corvalin-cli: " +
                  path + ": not in the settings: slot 3 10030004 Front view camera\n",
              r.err);
    EXPECT_FALSE(std::filesystem::exists(out));

    // With its source named, a document that covers the image exactly passes.
    WriteText(settings, Cli({"params", "--json", m_b.string()}).out);
    r = Cli({"set", m_b.string(), "-o", out.string(), "--settings", path, "--strict"});
    EXPECT_EQ(0, r.exitCode);
    EXPECT_EQ("Loading image\nImage loaded\nWriting image\nImage stored\n", r.err);

    EXPECT_EQ(2, Cli({"set", m_b.string(), "-o", out.string(), "--strict", "CH0.Volume=1"}).exitCode);
}

TEST_F(SettingsJsonTest, DiffListsChangedValuesAndBodies)
{
    CProcessResult same = Cli({"diff", m_a.string(), m_a.string()});
    EXPECT_EQ(0, same.exitCode) << same.err;
    EXPECT_EQ("body: same\n", same.out);

    const auto edited = m_dir / "edited.img";
    ASSERT_EQ(0, Cli({"set", m_a.string(), "-o", edited.string(), "CH0.Volume=7", "#3=1234"}).exitCode);
    CProcessResult changed = Cli({"diff", m_a.string(), edited.string()});
    EXPECT_EQ(1, changed.exitCode);
    EXPECT_EQ("30120001 CH0.Volume: 025 -> 007\n"
              "50160003 IR.BTN3: $F708FB04 -> $00001234\n"
              "body: same\n",
              changed.out);

    CProcessResult other = Cli({"diff", m_a.string(), m_b.string()});
    EXPECT_EQ(1, other.exitCode);
    EXPECT_EQ("10030001 Rear view camera: off -> ON\n"
              "30120001 CH0.Volume: 025 -> 020\n"
              "601A0001 Volvo Model: XC90 -> S40\n"
              "50160003 IR.BTN3: $F708FB04 -> $00000000\n"
              "50050003 Network Shutdown delay in mSec (hex): $000001F4 -> $000007D0\n"
              "30170001 TV System 0-NTSC 1-PAL: only in A (001)\n"
              "30120001 CH0.Volume: only in A (030)\n"
              "10030004 Front view camera: only in B (ON)\n"
              "body: differs\n",
              other.out);

    EXPECT_EQ(2, Cli({"diff", m_a.string(), (m_dir / "none.img").string()}).exitCode);
    EXPECT_EQ(2, Cli({"diff", m_a.string()}).exitCode);
}

// corvalin-cli params and set, end to end on image files written by the fixtures.

#include "CliTestSupport.h"

#include "device/Updater.h"
#include "params/ParameterTable.h"
#include "tools/fixtures/ImageBuilder.h"
#include "tools/fixtures/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace corvalin;
using namespace corvalin::fixtures;
using namespace corvalin::testing;

namespace
{

std::string Line(const char* label, const char* value)
{
    return PadLabel(label) + " :   " + value + "\n";
}

class CliImageTest : public ::testing::Test
{
  protected:
    CliImageTest()
    {
        CImageSpec imageSpec;
        imageSpec.params = {
            {0x10030001, 1},      // Rear view camera
            {0x30120001, 20},     // CH0.Volume
            {0x601A0001, 8},      // Volvo Model
            {0x50050003, 0x7D0},  // Network Shutdown delay
            {0x40990001, 0x1234}, // a short hex number
            {0x50160001, 0xABCD}, // IR.BTN1, not listed
            {0x30120001, 30},     // CH0.Volume again
        };
        m_bytes = BuildImageFile(imageSpec);
        m_image = m_dir / "in.img";
        WriteFileBytes(m_image, m_bytes);
    }

    CTempDir m_dir;
    Bytes m_bytes;
    std::filesystem::path m_image;
};

} // namespace

TEST_F(CliImageTest, ParamsPrintsTheDisplayList)
{
    CProcessResult r = Cli({"params", m_image.string()});
    EXPECT_EQ(0, r.exitCode);
    EXPECT_EQ(Line("Rear view camera", "ON") + Line("CH0.Volume", "020") + Line("Volvo Model", "V70") +
                  Line("Network Shutdown delay in mSec (hex)", "$000007D0") + Line("CH0.Volume", "030"),
              r.out);
    EXPECT_EQ("Loading image\nImage loaded\n", r.err);
}

TEST_F(CliImageTest, ParamsFailures)
{
    CProcessResult missing = Cli({"params", (m_dir / "nope.img").string()});
    EXPECT_EQ(1, missing.exitCode);
    EXPECT_NE(std::string::npos, missing.err.find("No such file")) << missing.err;
    EXPECT_TRUE(missing.out.empty());

    WriteFileBytes(m_dir / "short.img", Bytes(511, 0));
    CProcessResult tooShort = Cli({"params", (m_dir / "short.img").string()});
    EXPECT_EQ(1, tooShort.exitCode);
    EXPECT_EQ("Loading image\nWrong Image size\n", tooShort.err);

    EXPECT_EQ(1, Cli({"params", m_dir.Path().string()}).exitCode);
#ifndef _WIN32
    // A FIFO is refused at once rather than waited on until a program writes to it.
    const std::string fifo = (m_dir / "fifo.img").string();
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    CProcessResult waiting = Cli({"params", fifo});
    EXPECT_EQ(1, waiting.exitCode);
    EXPECT_EQ("corvalin-cli: " + fifo + ": not a regular file\n", waiting.err);
#endif
    EXPECT_EQ(2, Cli({"params"}).exitCode);
    EXPECT_EQ(2, Cli({"frobnicate"}).exitCode);
    EXPECT_EQ(2, Cli({}).exitCode);
}

TEST_F(CliImageTest, SetChangesByLabelAndSlotAndStores)
{
    auto out = m_dir / "out.img";
    CProcessResult r =
        Cli({"set", m_image.string(), "-o", out.string(), "Rear view camera=off", "CH0.Volume=-3",
             "Volvo Model=xc90", "#6=12abc", "#5=F708FB04", "Network Shutdown delay in mSec (hex)=0x1f4"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ(Line("Rear view camera", "off") + Line("CH0.Volume", "-003") + Line("Volvo Model", "XC90") +
                  Line("Network Shutdown delay in mSec (hex)", "$000001F4") + Line("CH0.Volume", "012"),
              r.out);
    EXPECT_EQ("Loading image\nImage loaded\nWriting image\nImage stored\n", r.err);

    CUpdater check;
    ASSERT_EQ(1, check.LoadImageFile(out));
    EXPECT_EQ(0u, GetParamValue(check.Header(), 0));
    EXPECT_EQ(0xFFFFFFFDu, GetParamValue(check.Header(), 1));
    EXPECT_EQ(11u, GetParamValue(check.Header(), 2));
    EXPECT_EQ(0x7FFFFFFFu, GetParamValue(check.Header(), 5)); // hex entry clamps like strtol
    EXPECT_EQ(12u, GetParamValue(check.Header(), 6));
    Bytes stored = ReadFileBytes(out);
    EXPECT_TRUE(std::equal(m_bytes.begin() + 444, m_bytes.end(), stored.begin() + 444));
}

TEST_F(CliImageTest, SetRefusesBadAssignmentsAndWritesNothing)
{
    auto out = m_dir / "out.img";
    struct Case
    {
        std::string assignment;
        int exitCode;
        const char* message;
    };
    const Case cases[] = {
        {"No such label=1", 1, "no parameter labelled"},
        {"#8=1", 1, "slot 8 is not in the parameter list"}, // past the walk's end
        {"#50=1", 1, "not in the parameter list"},
        {"#7=1", 1, "cannot be changed"}, // the terminator
        {"#x=1", 2, "slot is a number"},
        {"Rear view camera=maybe", 1, "'on' or 'off'"},
        {"Volvo Model=V99", 1, "not a Volvo model"},
        {"Volvo Model=12", 1, "not a Volvo model"},
        {"#4=1", 1, "Short change"},
        {"novalue", 2, "LABEL=VALUE"},
    };
    for (const Case& c : cases)
    {
        CProcessResult r = Cli({"set", m_image.string(), "-o", out.string(), "CH0.Volume=9", c.assignment});
        EXPECT_EQ(c.exitCode, r.exitCode) << c.assignment;
        EXPECT_NE(std::string::npos, r.err.find(c.message)) << c.assignment << ": " << r.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << c.assignment;
    }
    EXPECT_EQ(2, Cli({"set", m_image.string(), "CH0.Volume=9"}).exitCode);
    EXPECT_EQ(2, Cli({"set", m_image.string(), "-o", out.string()}).exitCode);
}

TEST_F(CliImageTest, FilesThatCannotBeUsedSayWhy)
{
    // A store that fails says so with the status line's text, then why.
    const std::string stored = "Loading image\nImage loaded\nWriting image\nUnable to write the file\n";
    const auto noDir = m_dir / "no-dir";
    CProcessResult r =
        Cli({"set", m_image.string(), "-o", (noDir / "sub" / "out.img").string(), "CH0.Volume=9"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ(stored + "corvalin-cli: " + (noDir / "sub" / "out.img").string() + ": " +
                  std::strerror(ENOENT) + " (the folder " + (noDir / "sub").string() + " does not exist)\n",
              r.err);

    r = Cli({"set", m_image.string(), "-o", m_dir.Path().string(), "CH0.Volume=9"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ(stored + "corvalin-cli: " + m_dir.Path().string() + ": is a directory\n", r.err);

    // A file where a folder should be.
    r = Cli({"set", m_image.string(), "-o", (m_image / "out.img").string(), "CH0.Volume=9"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ(stored + "corvalin-cli: " + (m_image / "out.img").string() + ": " + std::strerror(ENOTDIR) +
                  " (" + m_image.string() + " is not a folder)\n",
              r.err);

    // Files read: the image and the settings.
    r = Cli({"params", (noDir / "in.img").string()});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ("corvalin-cli: " + (noDir / "in.img").string() + ": " + std::strerror(ENOENT) +
                  " (the folder " + noDir.string() + " does not exist)\n",
              r.err);
    r = Cli(
        {"set", m_image.string(), "-o", (m_dir / "out.img").string(), "--settings", m_dir.Path().string()});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ("Loading image\nImage loaded\ncorvalin-cli: " + m_dir.Path().string() + ": is a directory\n",
              r.err);
#ifndef _WIN32
    // Not as root, whom no permission stops.
    if (geteuid() != 0)
    {
        const auto locked = m_dir / "locked";
        std::filesystem::create_directory(locked);
        std::filesystem::permissions(locked,
                                     std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        r = Cli({"set", m_image.string(), "-o", (locked / "out.img").string(), "CH0.Volume=9"});
        EXPECT_EQ(stored + "corvalin-cli: " + (locked / "out.img").string() + ": " + std::strerror(EACCES) +
                      "\n",
                  r.err);
        std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
    }
#endif
}

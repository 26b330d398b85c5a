// Loading, checking and storing firmware images.

#include "device/Updater.h"
#include "tools/fixtures/ImageBuilder.h"
#include "tools/fixtures/TempDir.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#include <csignal>
#include <vector>

using namespace corvalin;
using namespace corvalin::fixtures;

namespace
{

class CRecordingStatus : public IStatusControl
{
  public:
    void SetText(const std::string& text) override { m_texts.push_back(text); }
    std::vector<std::string> m_texts;
};

class FirmwareImageTest : public ::testing::Test
{
  protected:
    FirmwareImageTest() { m_updater.AttachControls(nullptr, &m_status); }

    std::filesystem::path WriteImage(const std::string& name, const Bytes& bytes)
    {
        auto path = m_dir / name;
        WriteFileBytes(path, bytes);
        return path;
    }

    std::vector<std::string> Texts() const
    {
        // The attach itself empties the line; that first write is not of interest.
        return {m_status.m_texts.begin() + 1, m_status.m_texts.end()};
    }

    CTempDir m_dir;
    CRecordingStatus m_status;
    CUpdater m_updater;
};

using TextList = std::vector<std::string>;

} // namespace

TEST_F(FirmwareImageTest, HeaderIsDescrambledWithTheKeyFromTheBodyEnd)
{
    // A body whose bytes equal their own position (mod 256): the key for header byte
    // i is then body byte (N - 512 + i), which for N = 1024 is (512 + i) mod 256.
    Bytes body(1024);
    for (std::size_t i = 0; i < body.size(); ++i)
        body[i] = uint8_t(i);
    Bytes header(444, 0);
    header[3] = 0xAB;
    header[4] = 0x00, header[5] = 0x00, header[6] = 0x01, header[7] = 0x00;
    Bytes file(444);
    for (std::size_t i = 0; i < 444; ++i)
        file[i] = uint8_t(header[i] ^ uint8_t(512 + i));
    file.insert(file.end(), body.begin(), body.end());

    ASSERT_EQ(1, m_updater.LoadImageFile(WriteImage("known.img", file)));
    EXPECT_EQ(0x00010000u, GetHardwareCode(m_updater.Header()));
    EXPECT_EQ(0xABu, m_updater.Header()[3]);
    EXPECT_EQ(0u, m_updater.Header()[100]);
    EXPECT_EQ((TextList{"Loading image", "Image loaded"}), Texts());
}

TEST_F(FirmwareImageTest, TagTestLooksAtTheTopByteOnly)
{
    CImageSpec imageSpec;
    imageSpec.tag = 0xAB123456u;
    EXPECT_EQ(1, m_updater.LoadImageFile(WriteImage("ab.img", BuildImageFile(imageSpec))));
    imageSpec.tag = 0xAC000001u;
    EXPECT_EQ(0, m_updater.LoadImageFile(WriteImage("ac.img", BuildImageFile(imageSpec))));
    EXPECT_EQ("Wrong Image", Texts().back());
    // The refused image is held all the same: its bytes replaced the earlier image.
    EXPECT_TRUE(m_updater.IsImageHeld());
    EXPECT_EQ(0xACu, m_updater.Header()[3]);
}

TEST_F(FirmwareImageTest, BlockCountIsBodyLengthDividedBy512RoundedDown)
{
    for (auto [bodySize, blocks] : {std::pair{1000u, 1}, {1024u, 2}, {512u, 1}, {5000u, 9}})
    {
        CImageSpec imageSpec;
        imageSpec.bodySize = bodySize;
        ASSERT_EQ(1, m_updater.LoadImageFile(WriteImage("b.img", BuildImageFile(imageSpec)))) << bodySize;
        EXPECT_EQ(blocks, m_updater.Image().Blocks()) << bodySize;
        EXPECT_EQ(bodySize, m_updater.Image().BodySize());
    }
}

TEST_F(FirmwareImageTest, FileSizeEdges)
{
    // 0 and 511 bytes are too short for the size test; 512 to 955 bytes have a body
    // shorter than one block and are refused the same way.
    for (std::size_t size : {0u, 1u, 443u, 511u, 512u, 600u, 955u})
    {
        m_status.m_texts.clear();
        m_status.m_texts.push_back("");
        Bytes bytes(size, 0x5A);
        EXPECT_EQ(0, m_updater.LoadImageFile(WriteImage("s.img", bytes))) << size;
        EXPECT_EQ((TextList{"Loading image", "Wrong Image size"}), Texts()) << size;
        EXPECT_FALSE(m_updater.IsImageHeld()) << size;
    }
    CImageSpec imageSpec;
    imageSpec.bodySize = 512; // 956 bytes: the smallest image that is accepted
    EXPECT_EQ(1, m_updater.LoadImageFile(WriteImage("min.img", BuildImageFile(imageSpec))));
}

TEST_F(FirmwareImageTest, BodiesOf65536BlocksOrMoreAreRefused)
{
    // INIT and XFER carry block numbers in 16 bits: 65535 blocks and 511 bytes is the
    // largest body; one byte more would wrap the count and overwrite the box's block 0.
    CImageSpec imageSpec;
    imageSpec.bodySize = 65535 * 512 + 511;
    Bytes largest = BuildImageFile(imageSpec);
    ASSERT_EQ(1, m_updater.LoadImageBuffer(largest.data(), largest.size()));
    EXPECT_EQ(65535, m_updater.Image().Blocks());
    ASSERT_EQ(1, m_updater.LoadImageFile(WriteImage("largest.img", largest)));

    largest.push_back(0);
    m_status.m_texts.assign(1, "");
    EXPECT_EQ(0, m_updater.LoadImageBuffer(largest.data(), largest.size()));
    EXPECT_EQ(0, m_updater.LoadImageFile(WriteImage("wrapping.img", largest)));
    EXPECT_EQ((TextList{"Wrong Image size", "Loading image", "Wrong Image size"}), Texts());
}

TEST_F(FirmwareImageTest, FilesThatCannotBeOpenedLeaveOnlyTheLoadingText)
{
    EXPECT_EQ(0, m_updater.LoadImageFile(m_dir / "missing.img"));
    EXPECT_EQ(0, m_updater.LoadImageFile(m_dir.Path()));
    TextList expected{"Loading image", "Loading image"};
#ifndef _WIN32
    // A FIFO with no writer would block the window's thread; it is refused at once.
    ASSERT_EQ(0, mkfifo((m_dir / "pipe.img").c_str(), 0600));
    EXPECT_EQ(0, m_updater.LoadImageFile(m_dir / "pipe.img"));
    expected.push_back("Loading image");
#endif
    EXPECT_EQ(expected, Texts());
    EXPECT_FALSE(m_updater.IsImageHeld());
}

// POSIX file modes, owners, links and process limits; Windows has none of these.
#ifndef _WIN32
TEST_F(FirmwareImageTest, UnreadableFileIsRefused)
{
    auto path = WriteImage("locked.img", BuildImageFile({}));
    auto readable = WriteImage("open.img", BuildImageFile({}));
    std::filesystem::permissions(path, std::filesystem::perms::none);
    std::filesystem::permissions(readable, std::filesystem::perms::others_read,
                                 std::filesystem::perm_options::add);
    std::filesystem::permissions(m_dir.Path(), std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
    // Root reads every file, so the load runs in a child that gives up root first.
    auto loadWithoutPrivileges = [&]
    {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            std::exit(2);
        m_status.m_texts.clear();
        int result = m_updater.LoadImageFile(path);
        bool onlyLoading = m_status.m_texts == std::vector<std::string>{"Loading image"};
        bool refused = result == 0 && onlyLoading && !m_updater.IsImageHeld();
        // The same user can read a readable file beside it, so the mode is what refused it.
        std::exit(refused && m_updater.LoadImageFile(readable) == 1 ? 0 : 1);
    };
    EXPECT_EXIT(loadWithoutPrivileges(), ::testing::ExitedWithCode(0), "");
}
#endif

TEST_F(FirmwareImageTest, BufferEdgesKeepTheHeldImage)
{
    CImageSpec imageSpec;
    imageSpec.name = "FIRST";
    Bytes first = BuildImageFile(imageSpec);
    ASSERT_EQ(1, m_updater.LoadImageBuffer(first.data(), first.size()));
    m_status.m_texts.assign(1, "");

    Bytes shortBuffer(511, 0);
    EXPECT_EQ(0, m_updater.LoadImageBuffer(shortBuffer.data(), shortBuffer.size()));
    EXPECT_TRUE(Texts().empty());

    Bytes noFullBlock(900, 0);
    EXPECT_EQ(0, m_updater.LoadImageBuffer(noFullBlock.data(), noFullBlock.size()));
    EXPECT_EQ((TextList{"Wrong Image size"}), Texts());

    EXPECT_EQ("FIRST", GetImageName(m_updater.Header()));
    EXPECT_EQ(imageSpec.bodySize, m_updater.Image().BodySize());
}

TEST_F(FirmwareImageTest, EditAndStoreRoundTrip)
{
    CImageSpec imageSpec;
    imageSpec.params = RealisticParameters(true);
    imageSpec.bodySize = 3 * 512 + 77;
    Bytes original = BuildImageFile(imageSpec);
    ASSERT_EQ(1, m_updater.LoadImageFile(WriteImage("in.img", original)));

    SetParamValue(m_updater.Header(), 5, 0x12345678u);
    auto out = m_dir / "out.img";
    m_updater.StoreImageFile(out);
    EXPECT_EQ("Image stored", Texts().back());

    Bytes stored = ReadFileBytes(out);
    ASSERT_EQ(original.size(), stored.size());
    EXPECT_TRUE(std::equal(original.begin() + 444, original.end(), stored.begin() + 444)) << "body changed";
    std::vector<std::size_t> differing;
    for (std::size_t i = 0; i < 444; ++i)
        if (original[i] != stored[i])
            differing.push_back(i);
    ASSERT_FALSE(differing.empty());
    for (std::size_t i : differing)
        EXPECT_TRUE(i >= 244 + 4 * 5 && i < 244 + 4 * 6) << "header byte " << i << " changed";

    CUpdater reloaded;
    ASSERT_EQ(1, reloaded.LoadImageFile(out));
    EXPECT_EQ(0x12345678u, GetParamValue(reloaded.Header(), 5));
    EXPECT_EQ(m_updater.Header(), reloaded.Header());
}

TEST_F(FirmwareImageTest, StoreOverLongerFileCutsItToImageLength)
{
    CImageSpec imageSpec;
    Bytes image = BuildImageFile(imageSpec);
    ASSERT_EQ(1, m_updater.LoadImageFile(WriteImage("in.img", image)));
    auto out = WriteImage("long.img", Bytes(image.size() * 3, 0xEE));
    m_updater.StoreImageFile(out);
    EXPECT_EQ(image, ReadFileBytes(out));
    // No temporary file is left beside the target.
    EXPECT_EQ(2, std::distance(std::filesystem::directory_iterator(m_dir.Path()), {}));
}

TEST_F(FirmwareImageTest, FailedStoreLeavesTheTargetUntouched)
{
    ASSERT_EQ(1, m_updater.LoadImageFile(WriteImage("in.img", BuildImageFile({}))));

    // A target whose folder does not exist cannot be written, and it says so.
    m_status.m_texts.assign(1, "");
    m_updater.StoreImageFile(m_dir / "no-such-dir" / "out.img");
    EXPECT_EQ((TextList{"Writing image", "Unable to write the file"}), Texts());

    // A directory in the target's place cannot be replaced by a file.
    std::filesystem::create_directory(m_dir / "taken");
    WriteFileBytes(m_dir / "taken" / "keep.txt", Bytes{1, 2, 3});
    m_status.m_texts.assign(1, "");
    m_updater.StoreImageFile(m_dir / "taken");
    EXPECT_EQ((TextList{"Writing image", "Unable to write the file"}), Texts());
    EXPECT_TRUE(std::filesystem::is_directory(m_dir / "taken"));
    // Nothing is left beside them.
    EXPECT_EQ(2, std::distance(std::filesystem::directory_iterator(m_dir.Path()), {}));
}

#ifndef _WIN32
TEST_F(FirmwareImageTest, StoreWritesNoPlantedLinkAndKeepsTheTargetsModeAndOwner)
{
    Bytes image = BuildImageFile({});
    ASSERT_EQ(1, m_updater.LoadImageFile(WriteImage("in.img", image)));
    auto target = WriteImage("target.img", Bytes(10, 0x42));
    auto victim = WriteImage("victim", Bytes(5, 0x11));
    std::filesystem::create_symlink(victim, m_dir / "target.img.corvalin-part");
    std::filesystem::create_hard_link(target, m_dir / "other-link.img");
    ASSERT_EQ(0, chmod(target.c_str(), 0604));
    // Root can hand the stored file to the target's owner; another user keeps it.
    const bool root = geteuid() == 0;
    if (root)
    {
        ASSERT_EQ(0, chown(target.c_str(), 65534, 65534));
    }

    m_updater.StoreImageFile(target);
    EXPECT_EQ("Image stored", Texts().back());
    EXPECT_EQ(image, ReadFileBytes(target));
    EXPECT_EQ(Bytes(5, 0x11), ReadFileBytes(victim));
    // The target's name now leads to the new file; another hard link keeps the old one.
    EXPECT_EQ(Bytes(10, 0x42), ReadFileBytes(m_dir / "other-link.img"));
    struct stat info
    {
    };
    ASSERT_EQ(0, stat(target.c_str(), &info));
    EXPECT_EQ(0604u, info.st_mode & 07777);
    if (root)
    {
        EXPECT_EQ(65534u, info.st_uid);
    }

    // A name of 255 bytes, the longest a folder entry may have, is stored as well.
    auto longest = m_dir / std::string(251, 'n').append(".img");
    m_updater.StoreImageFile(longest);
    EXPECT_EQ("Image stored", Texts().back());
    EXPECT_EQ(image, ReadFileBytes(longest));
}

TEST_F(FirmwareImageTest, StoreRefusesATargetTheUserMayNotWrite)
{
    ASSERT_EQ(1, m_updater.LoadImageFile(WriteImage("in.img", BuildImageFile({}))));
    auto locked = WriteImage("locked.img", Bytes(10, 0x42));
    auto open = WriteImage("open.img", Bytes(10, 0x42));
    ASSERT_EQ(0, chmod(locked.c_str(), 0444));
    ASSERT_EQ(0, chmod(open.c_str(), 0666));
    // The folder itself is open to all, so only the target's mode can refuse.
    ASSERT_EQ(0, chmod(m_dir.Path().c_str(), 0777));
    // Root writes every file, so the store runs in a child that gives up root first.
    auto storeWithoutPrivileges = [&]
    {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            std::exit(2);
        m_status.m_texts.clear();
        m_updater.StoreImageFile(locked);
        bool refused =
            m_status.m_texts == std::vector<std::string>{"Writing image", "Unable to write the file"} &&
            ReadFileBytes(locked) == Bytes(10, 0x42);
        m_updater.StoreImageFile(open);
        bool stored = m_status.m_texts.back() == "Image stored";
        // No other file is left in the folder.
        bool clean = std::distance(std::filesystem::directory_iterator(m_dir.Path()), {}) == 3;
        std::exit(refused && stored && clean ? 0 : 1);
    };
    EXPECT_EXIT(storeWithoutPrivileges(), ::testing::ExitedWithCode(0), "");
}

TEST_F(FirmwareImageTest, ShortBodyWriteReportsAndKeepsTheOldFile)
{
    CImageSpec imageSpec;
    imageSpec.bodySize = 64 * 1024;
    ASSERT_EQ(1, m_updater.LoadImageFile(WriteImage("in.img", BuildImageFile(imageSpec))));
    auto target = WriteImage("target.img", Bytes(10, 0x42));

    // In a child whose file-size limit lets the header through but not the body.
    auto storeUnderLimit = [&]
    {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{8 * 1024, 8 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        m_status.m_texts.clear();
        m_updater.StoreImageFile(target);
        bool reported = m_status.m_texts.back() == "Unable to write the file";
        bool intact = ReadFileBytes(target) == Bytes(10, 0x42);
        bool cleaned = std::distance(std::filesystem::directory_iterator(m_dir.Path()), {}) == 2;
        std::exit(reported && intact && cleaned ? 0 : 1);
    };
    EXPECT_EXIT(storeUnderLimit(), ::testing::ExitedWithCode(0), "");
}
#endif

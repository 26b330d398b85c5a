// BundleArchive over archives made by Debian's zip and by the ZIP writer fixture.

#include "image/BundleArchive.h"
#include "tools/fixtures/ImageBuilder.h"
#include "tools/fixtures/ProcessRunner.h"
#include "tools/fixtures/TempDir.h"
#include "tools/fixtures/ZipWriter.h"

#include <gtest/gtest.h>

#include <map>
#include <ostream>

using namespace corvalin;
using namespace corvalin::fixtures;

namespace
{

Bytes Extract(BundleArchive& archive, int index, EArchiveResult& result)
{
    CArchiveEntry entry;
    EXPECT_EQ(EArchiveResult::Ok, archive.GetEntry(index, entry));
    Bytes bytes(entry.m_nSize);
    result = archive.ExtractToMemory(index, bytes.data(), bytes.size());
    return bytes;
}

// Every entry's cleaned name with its content.
std::map<std::string, Bytes> ReadAll(BundleArchive& archive)
{
    std::map<std::string, Bytes> all;
    for (int i = 0; i < archive.EntryCount(); ++i)
    {
        CArchiveEntry entry;
        EXPECT_EQ(EArchiveResult::Ok, archive.GetEntry(i, entry));
        EArchiveResult result = EArchiveResult::ReadError;
        Bytes bytes = Extract(archive, i, result);
        EXPECT_EQ(EArchiveResult::Ok, result) << entry.m_strName;
        all[entry.m_strName] = bytes;
    }
    return all;
}

struct CZipVariant
{
    const char* label;
    const char* command;   // writes out.zip from image.info, a.enc and b.bin
    const char* stdinName; // the member that zip read from standard input, or null
    const char* listing;   // the zipinfo -v line that proves the variant
};

const CZipVariant kVariants[] = {
    {"Stored", "zip -q -0 out.zip image.info a.enc b.bin", nullptr,
     "compression method:                             none (stored)"},
    {"Deflated9", "zip -q -9 out.zip image.info a.enc b.bin", nullptr,
     "compression method:                             deflated"},
    {"StreamedOutput", "zip -q - image.info a.enc b.bin | cat > out.zip", nullptr,
     "extended local header:                          yes"},
    {"StreamedStdin", "cat a.enc | zip -q - image.info - b.bin | cat > out.zip", "-",
     "extended local header:                          yes"},
    {"Zip64", "zip -q -fz out.zip image.info a.enc b.bin", nullptr, "PKWARE 64-bit sizes"},
};

// Names the variant in test listings instead of dumping its bytes.
void PrintTo(const CZipVariant& variant, std::ostream* out)
{
    *out << variant.label;
}

class ZipToolArchiveTest : public ::testing::TestWithParam<CZipVariant>
{
};

} // namespace

TEST_P(ZipToolArchiveTest, ReadsEveryMemberBackUnchanged)
{
    const CZipVariant& variant = GetParam();
    CTempDir dir;
    CImageSpec imageSpec;
    Bytes image = BuildImageFileWithBody(imageSpec, MakeCompressibleBody(70000, 3));
    Bytes other = MakeBody(3000, 9);
    WriteFileBytes(dir / "image.info", {});
    WriteFileBytes(dir / "a.enc", image);
    WriteFileBytes(dir / "b.bin", other);
    CProcessResult made = RunShell(dir.Path(), variant.command);
    ASSERT_EQ(0, made.exitCode) << made.err;
    CProcessResult info = RunShell(dir.Path(), "zipinfo -v out.zip");
    ASSERT_NE(std::string::npos, info.out.find(variant.listing)) << "the archive is not what the test needs";

    BundleArchive archive;
    ASSERT_EQ(EArchiveResult::Ok, archive.Open(dir / "out.zip"));
    EXPECT_TRUE(archive.IsOpen());
    ASSERT_EQ(3, archive.EntryCount());

    std::string imageName = variant.stdinName ? variant.stdinName : "a.enc";
    std::map<std::string, Bytes> expected{{"image.info", {}}, {imageName, image}, {"b.bin", other}};
    EXPECT_EQ(expected, ReadAll(archive));

    CArchiveEntry entry;
    ASSERT_EQ(EArchiveResult::Ok, archive.GetEntry(1, entry));
    EXPECT_EQ(imageName, entry.m_strName);
    EXPECT_EQ(image.size(), entry.m_nSize);

    // Reading a member twice, and out of order, gives the same bytes.
    EArchiveResult result = EArchiveResult::ReadError;
    EXPECT_EQ(other, Extract(archive, 2, result));
    EXPECT_EQ(image, Extract(archive, 1, result));
    EXPECT_EQ(EArchiveResult::Ok, result);
    EXPECT_EQ(EArchiveResult::Ok, archive.Close());
    EXPECT_EQ(0, archive.EntryCount());
}

INSTANTIATE_TEST_SUITE_P(ZipTool, ZipToolArchiveTest, ::testing::ValuesIn(kVariants),
                         [](const auto& param) { return std::string(param.param.label); });

TEST(BundleArchiveNames, CleanUpRemovesDrivesLeadingSlashesAndParentParts)
{
    const std::pair<const char*, const char*> cases[] = {
        {"product.enc", "product.enc"},
        {"/product.enc", "product.enc"},
        {"\\\\/product.enc", "product.enc"},
        {"C:\\fw\\product.enc", "fw\\product.enc"},
        {"x:/y:/a.enc", "a.enc"},
        {"dir/../a.enc", "a.enc"},
        {"dir\\..\\a.enc", "a.enc"},
        {"a/..\\b\\../c/../d.enc", "d.enc"},
        {"/..\\..\\x.enc", "x.enc"},
        {"..\\a.enc", "..\\a.enc"}, // no separator before the "..": nothing to remove
        {"a..b/c.enc", "a..b/c.enc"},
        {"c:", ""},
        {"", ""},
    };
    for (const auto& [stored, shown] : cases)
        EXPECT_EQ(shown, CleanEntryName(stored)) << stored;
}

TEST(BundleArchiveNames, EntriesShowCleanedNamesButAreFoundByStoredNames)
{
    CTempDir dir;
    std::string longName = "/" + std::string(300, 'n') + ".enc";
    WriteZip(dir / "odd.zip",
             {{"/lead.enc", {1, 2, 3}}, {"..\\up\\..\\IMAGE.INFO", {}}, {"Mixed.Enc", {4}}, {longName, {5}}});
    BundleArchive archive;
    ASSERT_EQ(EArchiveResult::Ok, archive.Open(dir / "odd.zip"));
    ASSERT_EQ(4, archive.EntryCount());

    CArchiveEntry entry;
    ASSERT_EQ(EArchiveResult::Ok, archive.GetEntry(0, entry));
    EXPECT_EQ("lead.enc", entry.m_strName);
    EXPECT_EQ(3u, entry.m_nSize);
    ASSERT_EQ(EArchiveResult::Ok, archive.GetEntry(1, entry));
    EXPECT_EQ("IMAGE.INFO", entry.m_strName);
    ASSERT_EQ(EArchiveResult::Ok, archive.GetEntry(3, entry));
    EXPECT_EQ(kMaxEntryNameLength, entry.m_strName.size());
    EXPECT_EQ(EArchiveResult::BadIndex, archive.GetEntry(4, entry));
    EXPECT_EQ(EArchiveResult::BadIndex, archive.GetEntry(-1, entry));

    int index = -1;
    EXPECT_EQ(EArchiveResult::NotFound, archive.FindEntry("lead.enc", true, index, entry));
    EXPECT_EQ(EArchiveResult::Ok, archive.FindEntry("/LEAD.ENC", true, index, entry));
    EXPECT_EQ(0, index);
    EXPECT_EQ("/lead.enc", entry.m_strName);
    EXPECT_EQ(EArchiveResult::NotFound, archive.FindEntry("/LEAD.ENC", false, index, entry));
    EXPECT_EQ(EArchiveResult::Ok, archive.FindEntry("mixed.enc", true, index, entry));
    EXPECT_EQ(2, index);
    EXPECT_EQ(EArchiveResult::Ok, archive.FindEntry("Mixed.Enc", false, index, entry));
    EXPECT_EQ(EArchiveResult::NotFound, archive.FindEntry("image.info", true, index, entry));
    // Names longer than the shown ones are still found whole.
    EXPECT_EQ(EArchiveResult::Ok, archive.FindEntry(longName, true, index, entry));
    EXPECT_EQ(3, index);
    EXPECT_EQ(EArchiveResult::NotFound, archive.FindEntry("", true, index, entry));
}

TEST(BundleArchiveDamage, DamagedMembersFailWithoutHarmingTheOthers)
{
    CTempDir dir;
    Bytes good = MakeCompressibleBody(20000, 4);
    Bytes data = MakeCompressibleBody(5000, 5);
    CZipMember badCrc{"crc.enc", data};
    badCrc.corruptCrc = true;
    CZipMember badStoredCrc{"crc-stored.enc", data, false};
    badStoredCrc.corruptCrc = true;
    CZipMember badDeflate{"inflate.enc", data};
    badDeflate.corruptDeflate = true;
    CZipMember overstated{"long.enc", data, false};
    overstated.declaredSize = data.size() + 100;
    CZipMember understated{"short.enc", data};
    understated.declaredSize = data.size() - 100;
    CZipMember huge{"huge.enc", data};
    huge.declaredSize = uint64_t(1) << 41;
    CZipMember badCrc64{"crc64.enc", data};
    badCrc64.zip64 = true;
    badCrc64.corruptCrc = true;
    CZipMember good64{"good64.enc", data, false};
    good64.zip64 = true;
    WriteZip(dir / "damaged.zip", {badCrc,
                                   badStoredCrc,
                                   {"good.enc", good},
                                   badDeflate,
                                   overstated,
                                   understated,
                                   huge,
                                   badCrc64,
                                   good64});

    BundleArchive archive;
    ASSERT_EQ(EArchiveResult::Ok, archive.Open(dir / "damaged.zip"));
    ASSERT_EQ(9, archive.EntryCount());
    EArchiveResult result = EArchiveResult::Ok;
    Extract(archive, 0, result);
    EXPECT_EQ(EArchiveResult::CrcError, result);
    Extract(archive, 1, result);
    EXPECT_EQ(EArchiveResult::CrcError, result);
    EXPECT_EQ(good, Extract(archive, 2, result));
    EXPECT_EQ(EArchiveResult::Ok, result);
    Extract(archive, 3, result);
    EXPECT_EQ(EArchiveResult::ReadError, result);
    Extract(archive, 4, result);
    EXPECT_NE(EArchiveResult::Ok, result);
    Extract(archive, 5, result);
    EXPECT_NE(EArchiveResult::Ok, result);

    CArchiveEntry entry;
    ASSERT_EQ(EArchiveResult::Ok, archive.GetEntry(6, entry));
    EXPECT_EQ(uint64_t(1) << 41, entry.m_nSize);
    // ZIP64 members: their sizes come from the extra field, and their CRC is still tested.
    Extract(archive, 7, result);
    EXPECT_EQ(EArchiveResult::CrcError, result);
    EXPECT_EQ(data, Extract(archive, 8, result));
    EXPECT_EQ(EArchiveResult::Ok, result);

    // A buffer of any other size than the member's is refused before reading.
    Bytes wrong(good.size() - 1);
    EXPECT_EQ(EArchiveResult::SizeMismatch, archive.ExtractToMemory(2, wrong.data(), wrong.size()));
    EXPECT_EQ(EArchiveResult::BadIndex, archive.ExtractToMemory(9, wrong.data(), wrong.size()));
    EXPECT_EQ(good, Extract(archive, 2, result));
    EXPECT_EQ(EArchiveResult::Ok, result);
}

TEST(BundleArchiveDamage, EncryptedMembersAreRefused)
{
    CTempDir dir;
    WriteFileBytes(dir / "secret.enc", MakeCompressibleBody(4000, 6));
    WriteFileBytes(dir / "image.info", {});
    ASSERT_EQ(0, RunShell(dir.Path(), "zip -q -P pass locked.zip secret.enc && zip -q locked.zip image.info")
                     .exitCode);

    BundleArchive archive;
    ASSERT_EQ(EArchiveResult::Ok, archive.Open(dir / "locked.zip"));
    int index = -1;
    CArchiveEntry entry;
    ASSERT_EQ(EArchiveResult::Ok, archive.FindEntry("secret.enc", true, index, entry));
    EArchiveResult result = EArchiveResult::Ok;
    Extract(archive, index, result);
    EXPECT_EQ(EArchiveResult::Encrypted, result);
    ASSERT_EQ(EArchiveResult::Ok, archive.FindEntry("image.info", true, index, entry));
    Extract(archive, index, result);
    EXPECT_EQ(EArchiveResult::Ok, result);
}

TEST(BundleArchiveOpen, FilesThatAreNoArchivesDoNotOpen)
{
    CTempDir dir;
    CImageSpec imageSpec;
    WriteFileBytes(dir / "plain.img", BuildImageFile(imageSpec));
    WriteFileBytes(dir / "empty.zip", {});
    Bytes zip = BuildZip({{"image.info", {}}, {"a.enc", BuildImageFile(imageSpec)}});
    WriteFileBytes(dir / "cut.zip", Bytes(zip.begin() + 100, zip.end())); // the start is lost
    Bytes noDirectory = zip;
    noDirectory.resize(zip.size() - 22); // the end-of-directory record is gone
    WriteFileBytes(dir / "nodir.zip", noDirectory);

    for (const char* name : {"missing.zip", "plain.img", "empty.zip", "cut.zip", "nodir.zip"})
    {
        BundleArchive archive;
        EXPECT_EQ(EArchiveResult::CannotOpen, archive.Open(dir / name)) << name;
        EXPECT_FALSE(archive.IsOpen());
        EXPECT_EQ(0, archive.EntryCount());
    }
    BundleArchive archive;
    EXPECT_EQ(EArchiveResult::CannotOpen, archive.Open(dir.Path()));

    // A closed archive answers every request with a failure.
    CArchiveEntry entry;
    int index = 0;
    uint8_t byte = 0;
    EXPECT_EQ(EArchiveResult::NotOpen, archive.GetEntry(0, entry));
    EXPECT_EQ(EArchiveResult::NotOpen, archive.FindEntry("a.enc", true, index, entry));
    EXPECT_EQ(EArchiveResult::NotOpen, archive.ExtractToMemory(0, &byte, 1));
    EXPECT_EQ(EArchiveResult::Ok, archive.Close());

    // A failed Open closes the archive opened before.
    WriteFileBytes(dir / "one.zip", zip);
    ASSERT_EQ(EArchiveResult::Ok, archive.Open(dir / "one.zip"));
    EXPECT_EQ(2, archive.EntryCount());
    EXPECT_EQ(EArchiveResult::CannotOpen, archive.Open(dir / "plain.img"));
    EXPECT_EQ(0, archive.EntryCount());
}

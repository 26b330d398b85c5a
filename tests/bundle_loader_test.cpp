// Opening bundles and bare images, and choosing a bundle's product.

#include "device/Updater.h"
#include "image/BundleLoader.h"
#include "tools/fixtures/ImageBuilder.h"
#include "tools/fixtures/ProcessRunner.h"
#include "tools/fixtures/TempDir.h"
#include "tools/fixtures/ZipWriter.h"

#include <gtest/gtest.h>

using namespace corvalin;
using namespace corvalin::fixtures;

namespace
{

using Texts = std::vector<std::string>;

Texts Names(const CBundleOpenOutcome& outcome)
{
    Texts names;
    for (const CBundleProduct& product : outcome.m_products)
        names.push_back(product.m_strName);
    return names;
}

class CStatusLog : public IStatusControl
{
  public:
    void SetText(const std::string& text) override { m_texts.push_back(text); }
    Texts m_texts;
};

Bytes Product(const std::string& name, uint32_t hardwareCode = kBundleHardwareCode,
              uint32_t tag = 0xAB000001u)
{
    CImageSpec imageSpec;
    imageSpec.name = name;
    imageSpec.hardwareCode = hardwareCode;
    imageSpec.tag = tag;
    imageSpec.params = {{0x30120001, 20}, {0x10030001, 1}};
    return BuildImageFileWithBody(imageSpec, MakeCompressibleBody(3000, uint32_t(name.size())));
}

class BundleLoaderTest : public ::testing::Test
{
  protected:
    BundleLoaderTest()
    {
        m_updater.AttachControls(nullptr, &m_status);
        m_status.m_texts.clear();

        CZipMember badCrc{"crc.enc", Product("CRC")};
        badCrc.corruptCrc = true;
        CZipMember badDeflate{"inflate.enc", Product("INFLATE")};
        badDeflate.corruptDeflate = true;
        CZipMember huge{"huge.enc", Product("HUGE")};
        huge.declaredSize = uint64_t(1) << 41;
        CZipMember tooLarge{"large.enc", Product("LARGE")};
        tooLarge.declaredSize = kMaxBundleMemberSize + 1;
        m_bundle = m_dir / "bundle.zip";
        WriteZip(m_bundle, {
                               {"image.info", {}},
                               {"zeta.enc", Product("ZETA")},
                               {"alpha.enc", Product("ALPHA"), false},
                               {"encoder.bin", Product("ENCODER")},
                               {"PRODUCT.ENC", Product("UPPER")},
                               {"other-hw.enc", Product("OTHER", 0x00020000u)},
                               {"tiny.enc", Bytes(511, 0xAB)},
                               {"badtag.enc", Product("BADTAG", kBundleHardwareCode, 0xAC000001u)},
                               {"readme.txt", Bytes(600, 'x')},
                               badCrc,
                               huge,
                               tooLarge,
                               badDeflate,
                               {"/lead.enc", Product("LEAD")},
                           });
    }

    // Opens `path` as the "..." button does, noting what the IR hand-off saw.
    CBundleOpenOutcome Open(const std::filesystem::path& path, int imageLoaded)
    {
        m_status.m_texts.clear();
        m_nHandOffs = 0;
        return OpenBundleOrImageFile(m_updater, path, imageLoaded,
                                     [this]
                                     {
                                         ++m_nHandOffs;
                                         m_strHandOffImage = GetImageName(m_updater.Header());
                                         m_nStatusesBeforeHandOff = m_status.m_texts.size();
                                     });
    }

    // Chooses a product by name, as corvalin-cli's --product does.
    CProductSelectOutcome Select(const std::string& product, int imageLoaded)
    {
        m_status.m_texts.clear();
        return SelectBundleProductByName(m_updater, m_bundle, product, imageLoaded);
    }

    std::string HeldName() const { return GetImageName(m_updater.Header()); }

    CTempDir m_dir;
    CStatusLog m_status;
    CUpdater m_updater;
    std::filesystem::path m_bundle;
    int m_nHandOffs = 0;
    std::string m_strHandOffImage;
    std::size_t m_nStatusesBeforeHandOff = 0;
};

} // namespace

TEST_F(BundleLoaderTest, ScanListsAcceptedCandidatesSorted)
{
    CBundleOpenOutcome outcome = Open(m_bundle, 0);
    EXPECT_TRUE(outcome.m_bIsBundle);
    EXPECT_TRUE(outcome.m_bProductListEnabled);
    // Upper-case "ENC" is no candidate, "encoder.bin" is; the leading "/" is not shown;
    // another hardware code, a short member, a wrong tag and damaged members are left out.
    EXPECT_EQ((Texts{"alpha.enc", "encoder.bin", "lead.enc", "zeta.enc"}), Names(outcome));
    EXPECT_EQ((Texts{"Loading bundle", "Image loaded", "Image loaded", "Image loaded", "Image loaded",
                     "Wrong Image", "Image loaded", "Bundle loaded"}),
              m_status.m_texts);

    // The last candidate handed to the loader stays held, and the hand-off runs on it last.
    EXPECT_EQ("LEAD", HeldName());
    EXPECT_EQ(1, m_nHandOffs);
    EXPECT_EQ("LEAD", m_strHandOffImage);
    EXPECT_EQ(m_status.m_texts.size(), m_nStatusesBeforeHandOff);
    EXPECT_EQ(0, outcome.m_bImageLoaded);
}

TEST_F(BundleLoaderTest, ScanDropsTheImageLoadedFlagOnlyWhenItReplacedTheImage)
{
    CImageSpec imageSpec;
    imageSpec.name = "BARE";
    WriteFileBytes(m_dir / "bare.img", BuildImageFile(imageSpec));
    ASSERT_EQ(1, Open(m_dir / "bare.img", 0).m_bImageLoaded);

    // No marker: nothing is handed to the loader, the bare image and the flag stay.
    WriteZip(m_dir / "nomarker.zip", {{"a.enc", Product("A")}, {"image.inf", {}}});
    CBundleOpenOutcome outcome = Open(m_dir / "nomarker.zip", 1);
    EXPECT_EQ((Texts{"Loading bundle", "Wrong bundle file"}), m_status.m_texts);
    EXPECT_TRUE(outcome.m_bIsBundle);
    EXPECT_FALSE(outcome.m_bProductListEnabled);
    EXPECT_TRUE(outcome.m_products.empty());
    EXPECT_EQ(1, outcome.m_bImageLoaded);
    EXPECT_EQ("BARE", HeldName());
    EXPECT_EQ(1, m_nHandOffs);

    // A candidate of another hardware code is not listed, but the loader took it.
    WriteZip(m_dir / "foreign.zip", {{"IMAGE.INFO", {}}, {"b.enc", Product("B", 7)}});
    outcome = Open(m_dir / "foreign.zip", 1);
    EXPECT_EQ((Texts{"Loading bundle", "Image loaded", "Wrong bundle file"}), m_status.m_texts);
    EXPECT_EQ(0, outcome.m_bImageLoaded);
    EXPECT_EQ("B", HeldName());

    // Candidates that never reach the image loader leave the held image alone.
    ASSERT_EQ(1, Open(m_dir / "bare.img", 0).m_bImageLoaded);
    WriteZip(m_dir / "tiny.zip", {{"IMAGE.INFO", {}}, {"a.enc", Bytes(100, 1)}});
    outcome = Open(m_dir / "tiny.zip", 1);
    EXPECT_EQ((Texts{"Loading bundle", "Wrong bundle file"}), m_status.m_texts);
    EXPECT_EQ(1, outcome.m_bImageLoaded);
    EXPECT_EQ("BARE", HeldName());

    // A bundle scan that replaced it: the held image is no longer the one the user chose.
    outcome = Open(m_bundle, 1);
    EXPECT_EQ(0, outcome.m_bImageLoaded);
    EXPECT_EQ("LEAD", HeldName());
}

TEST_F(BundleLoaderTest, BareImageFilesAreLoadedDirectly)
{
    CImageSpec imageSpec;
    imageSpec.name = "BARE";
    WriteFileBytes(m_dir / "bare.img", BuildImageFile(imageSpec));
    CBundleOpenOutcome outcome = Open(m_dir / "bare.img", 0);
    EXPECT_FALSE(outcome.m_bIsBundle);
    EXPECT_FALSE(outcome.m_bProductListEnabled);
    EXPECT_TRUE(outcome.m_products.empty());
    EXPECT_EQ(1, outcome.m_bImageLoaded);
    EXPECT_EQ((Texts{"Loading bundle", "Loading image", "Image loaded", "Loaded update file"}),
              m_status.m_texts);
    EXPECT_EQ(1, m_nHandOffs);
    EXPECT_EQ("BARE", m_strHandOffImage);

    WriteFileBytes(m_dir / "short.img", Bytes(511, 0));
    outcome = Open(m_dir / "short.img", 1);
    EXPECT_EQ(0, outcome.m_bImageLoaded);
    EXPECT_EQ((Texts{"Loading bundle", "Loading image", "Wrong Image size", "Wrong image file"}),
              m_status.m_texts);

    outcome = Open(m_dir / "missing.img", 1);
    EXPECT_EQ(0, outcome.m_bImageLoaded);
    EXPECT_EQ((Texts{"Loading bundle", "Loading image", "Wrong image file"}), m_status.m_texts);
}

TEST_F(BundleLoaderTest, AnArchiveWithoutMembersIsAWrongBundle)
{
    // Only the 22-byte end record, as zipfile writes it, then with a comment; a record
    // whose comment runs past the end of the file is no archive.
    Bytes empty = BuildZip({});
    ASSERT_EQ(22u, empty.size());
    Bytes commented = empty;
    commented[20] = 3;
    commented.insert(commented.end(), {'a', 'b', 'c'});
    Bytes cut(commented.begin(), commented.end() - 1);
    for (const auto& [name, bytes, isBundle] :
         {std::tuple{"empty.zip", empty, true}, {"commented.zip", commented, true}, {"cut.zip", cut, false}})
    {
        WriteFileBytes(m_dir / name, bytes);
        CBundleOpenOutcome outcome = Open(m_dir / name, 1);
        EXPECT_EQ(isBundle, outcome.m_bIsBundle) << name;
        EXPECT_FALSE(outcome.m_bProductListEnabled) << name;
        EXPECT_EQ(isBundle ? "Wrong bundle file" : "Wrong image file", m_status.m_texts.back()) << name;
    }
}

TEST_F(BundleLoaderTest, MarkerCountsWhateverItHoldsAndBundlesWithoutProductsAreWrong)
{
    WriteZip(m_dir / "marker.zip", {{"Image.Info", Bytes(40, 'i')}, {"x.enc", Product("X")}});
    CBundleOpenOutcome outcome = Open(m_dir / "marker.zip", 0);
    EXPECT_EQ((Texts{"x.enc"}), Names(outcome));
    EXPECT_EQ("Bundle loaded", m_status.m_texts.back());

    WriteZip(m_dir / "noproducts.zip", {{"image.info", {}},
                                        {"PRODUCT.ENC", Product("UPPER")},
                                        {"foreign.enc", Product("FOREIGN", 0x00010001u)},
                                        {"tiny.enc", Bytes(511, 0)}});
    outcome = Open(m_dir / "noproducts.zip", 0);
    EXPECT_TRUE(outcome.m_bIsBundle);
    EXPECT_FALSE(outcome.m_bProductListEnabled);
    EXPECT_TRUE(outcome.m_products.empty());
    EXPECT_EQ((Texts{"Loading bundle", "Image loaded", "Wrong bundle file"}), m_status.m_texts);
}

TEST_F(BundleLoaderTest, SelectingAProductReloadsItFromTheBundle)
{
    Open(m_bundle, 0);
    CProductSelectOutcome outcome = Select("alpha.enc", 0);
    EXPECT_EQ(EProductLoad::Loaded, outcome.m_nResult);
    EXPECT_EQ(1, outcome.m_bImageLoaded);
    EXPECT_TRUE(outcome.m_bRefreshWindow);
    EXPECT_EQ((Texts{"Loading bundle", "Image loaded"}), m_status.m_texts);
    EXPECT_EQ("ALPHA", HeldName());

    // Choosing it again discards the edits made in between; letter case is ignored.
    SetParamValue(m_updater.Header(), 0, 99);
    outcome = Select("ALPHA.ENC", 1);
    EXPECT_EQ(EProductLoad::Loaded, outcome.m_nResult);
    EXPECT_EQ(20u, GetParamValue(m_updater.Header(), 0));

    // The hardware code is not tested again when a product is chosen.
    EXPECT_EQ(EProductLoad::Loaded, Select("other-hw.enc", 1).m_nResult);
    EXPECT_EQ("OTHER", HeldName());
}

TEST_F(BundleLoaderTest, SelectingAProductThatCannotBeLoaded)
{
    Open(m_bundle, 0);
    ASSERT_EQ(EProductLoad::Loaded, Select("zeta.enc", 0).m_nResult);

    // No such member: the held image stays, but no longer counts as loaded.
    CProductSelectOutcome outcome = Select("gone.enc", 1);
    EXPECT_EQ(EProductLoad::NotFound, outcome.m_nResult);
    EXPECT_EQ(0, outcome.m_bImageLoaded);
    EXPECT_FALSE(outcome.m_bRefreshWindow);
    EXPECT_EQ((Texts{"Loading bundle", "Unable to load bundle"}), m_status.m_texts);
    EXPECT_EQ("ZETA", HeldName());

    for (const char* damaged : {"crc.enc", "inflate.enc", "huge.enc", "large.enc"})
    {
        outcome = Select(damaged, 1);
        EXPECT_EQ(EProductLoad::Unreadable, outcome.m_nResult) << damaged;
        EXPECT_EQ(0, outcome.m_bImageLoaded);
        EXPECT_EQ("Unable to load bundle", m_status.m_texts.back());
        EXPECT_EQ("ZETA", HeldName());
    }

    outcome = Select("badtag.enc", 1);
    EXPECT_EQ(EProductLoad::Refused, outcome.m_nResult);
    EXPECT_EQ(0, outcome.m_bImageLoaded);
    EXPECT_FALSE(outcome.m_bRefreshWindow);
    EXPECT_EQ((Texts{"Loading bundle", "Wrong Image"}), m_status.m_texts);

    EXPECT_EQ(EProductLoad::NotFound, Select("", 1).m_nResult);
}

TEST_F(BundleLoaderTest, EachListedProductLoadsTheMemberItCameFrom)
{
    // Names that differ only in case (the lower one of another hardware code), a stored
    // name that is shown cleaned, a CP437 name, and two members of the same name.
    WriteZip(m_dir / "names.zip", {{"image.info", {}},
                                   {"x_enc.bin", Product("LOWER X", 0x00020000u)},
                                   {"X_enc.bin", Product("UPPER X")},
                                   {"Zeta_enc.bin", Product("ZETA")},
                                   {"/abs/p_enc.bin", Product("P")},
                                   {"caf\x82_enc.bin", Product("CAFE")},
                                   {"alpha_enc.bin", Product("ALPHA")},
                                   {"dup_enc.bin", Product("FIRST")},
                                   {"dup_enc.bin", Product("SECOND")}});
    m_bundle = m_dir / "names.zip";
    CBundleOpenOutcome opened = Open(m_bundle, 0);
    EXPECT_EQ((Texts{"abs/p_enc.bin", "alpha_enc.bin", "caf\x82_enc.bin", "dup_enc.bin", "dup_enc.bin",
                     "X_enc.bin", "Zeta_enc.bin"}),
              Names(opened));

    Texts loaded;
    for (const CBundleProduct& product : opened.m_products)
    {
        CProductSelectOutcome outcome = SelectBundleProduct(m_updater, m_bundle, product, 0);
        EXPECT_EQ(EProductLoad::Loaded, outcome.m_nResult) << product.m_strName;
        loaded.push_back(HeldName());
    }
    EXPECT_EQ((Texts{"P", "ALPHA", "CAFE", "FIRST", "SECOND", "UPPER X", "ZETA"}), loaded);

    // By name: the stored name exactly first, then a listed product with case ignored.
    for (const auto& [name, held] : {std::pair{"x_enc.bin", "LOWER X"},
                                     {"X_ENC.BIN", "UPPER X"},
                                     {"abs/p_enc.bin", "P"},
                                     {"/abs/p_enc.bin", "P"},
                                     {"ZETA_ENC.BIN", "ZETA"}})
    {
        EXPECT_EQ(EProductLoad::Loaded, Select(name, 0).m_nResult) << name;
        EXPECT_EQ(held, HeldName()) << name;
    }
    EXPECT_EQ(EProductLoad::Ambiguous, Select("DUP_ENC.BIN", 1).m_nResult);
    EXPECT_EQ(EProductLoad::NotFound, Select("abs/P_ENC", 1).m_nResult);

    // An entry whose member is gone from a rewritten bundle loads nothing.
    WriteZip(m_bundle, {{"image.info", {}}, {"alpha_enc.bin", Product("ALPHA")}});
    CProductSelectOutcome outcome = SelectBundleProduct(m_updater, m_bundle, opened.m_products.back(), 1);
    EXPECT_EQ(EProductLoad::NotFound, outcome.m_nResult);
    EXPECT_EQ(0, outcome.m_bImageLoaded);
}

TEST_F(BundleLoaderTest, SelectingFromAFileThatIsNoLongerABundle)
{
    // After "Wr" the bundle path names the stored image file.
    Open(m_bundle, 0);
    ASSERT_EQ(EProductLoad::Loaded, Select("zeta.enc", 0).m_nResult);
    m_updater.StoreImageFile(m_dir / "stored.img");
    m_bundle = m_dir / "stored.img";
    CProductSelectOutcome outcome = Select("zeta.enc", 1);
    EXPECT_EQ(EProductLoad::CannotOpenBundle, outcome.m_nResult);
    EXPECT_EQ(0, outcome.m_bImageLoaded);
    EXPECT_EQ((Texts{"Loading bundle", "Unable to load bundle"}), m_status.m_texts);

    m_bundle = m_dir / "gone.zip";
    EXPECT_EQ(EProductLoad::CannotOpenBundle, Select("zeta.enc", 1).m_nResult);
}

TEST_F(BundleLoaderTest, BundlesWrittenByZipWithDataDescriptors)
{
    WriteFileBytes(m_dir / "IMAGE.INFO", {});
    WriteFileBytes(m_dir / "b-enc.img", Product("B"));
    WriteFileBytes(m_dir / "a-enc.img", Product("A"));
    CProcessResult made = RunShell(m_dir.Path(), "zip -q -9 - b-enc.img IMAGE.INFO a-enc.img | cat > dd.zip");
    ASSERT_EQ(0, made.exitCode) << made.err;
    CBundleOpenOutcome outcome = Open(m_dir / "dd.zip", 0);
    EXPECT_EQ((Texts{"a-enc.img", "b-enc.img"}), Names(outcome));
    m_bundle = m_dir / "dd.zip";
    EXPECT_EQ(EProductLoad::Loaded, Select("b-enc.img", 0).m_nResult);
    EXPECT_EQ("B", HeldName());
}

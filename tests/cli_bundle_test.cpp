// corvalin-cli products, and --product for params and set, end to end on bundles.

#include "CliTestSupport.h"

#include "BuildVersion.h"
#include "device/Updater.h"
#include "params/ParameterTable.h"
#include "tools/fixtures/ImageBuilder.h"
#include "tools/fixtures/TempDir.h"
#include "tools/fixtures/ZipWriter.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace corvalin;
using namespace corvalin::fixtures;
using namespace corvalin::testing;

namespace
{

Bytes Product(const std::string& name, uint32_t volume, uint32_t hardwareCode = 0x00010000u)
{
    CImageSpec imageSpec;
    imageSpec.name = name;
    imageSpec.hardwareCode = hardwareCode;
    imageSpec.params = {{0x30120001, volume}}; // CH0.Volume
    return BuildImageFile(imageSpec);
}

class CliBundleTest : public ::testing::Test
{
  protected:
    CliBundleTest()
    {
        m_bundle = (m_dir / "bundle.zip").string();
        WriteZip(m_bundle, {{"IMAGE.INFO", {}},
                            {"p3.enc", Product("P3", 21)},
                            {"foreign.enc", Product("FOREIGN", 23, 0x00020000u)},
                            {"/root.enc", Product("ROOT", 25)},
                            {"Q2.enc", Product("Q2", 24)},
                            {"p1.enc", Product("P1", 22)}});
    }

    CTempDir m_dir;
    std::string m_bundle;
};

std::string VolumeLine(const char* value)
{
    return PadLabel("CH0.Volume") + " :   " + value + "\n";
}

} // namespace

TEST_F(CliBundleTest, ProductsListsTheProductsInTheWindowsOrder)
{
    CProcessResult r = Cli({"products", m_bundle});
    EXPECT_EQ(0, r.exitCode);
    // Sorted with letter case ignored, as a sorted drop-down list is.
    EXPECT_EQ("p1.enc\np3.enc\nQ2.enc\nroot.enc\n", r.out);
    EXPECT_EQ("Loading bundle\nImage loaded\nImage loaded\nImage loaded\nImage loaded\nImage loaded\n"
              "Bundle loaded\n",
              r.err);
}

TEST_F(CliBundleTest, ProductsFailsWithoutProducts)
{
    WriteZip(m_dir / "empty.zip", {{"image.info", {}}, {"readme.txt", Bytes(10, 'r')}});
    CProcessResult r = Cli({"products", (m_dir / "empty.zip").string()});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ("Loading bundle\nWrong bundle file\n", r.err);

    WriteFileBytes(m_dir / "bare.img", Product("BARE", 1));
    r = Cli({"products", (m_dir / "bare.img").string()});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ("Loading bundle\nLoading image\nImage loaded\nLoaded update file\n", r.err);

    r = Cli({"products", (m_dir / "missing.zip").string()});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_NE(std::string::npos, r.err.find("No such file")) << r.err;
    EXPECT_EQ(2, Cli({"products"}).exitCode);
    EXPECT_EQ(2, Cli({"products", m_bundle, "extra"}).exitCode);
}

TEST_F(CliBundleTest, ParamsAndSetWorkOnAProduct)
{
    CProcessResult r = Cli({"params", m_bundle, "--product", "P3.ENC"});
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ(VolumeLine("021"), r.out);
    EXPECT_EQ("Loading bundle\nImage loaded\n", r.err);

    // The hardware code is not tested when a product is named, as in the window.
    r = Cli({"params", "--product", "foreign.enc", m_bundle});
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ(VolumeLine("023"), r.out);

    std::string out = (m_dir / "p1-edited.img").string();
    r = Cli({"set", m_bundle, "--product", "p1.enc", "-o", out, "CH0.Volume=30"});
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ(VolumeLine("030"), r.out);
    CUpdater updater;
    ASSERT_EQ(1, updater.LoadImageFile(out));
    EXPECT_EQ("P1", GetImageName(updater.Header()));
    EXPECT_EQ(30u, GetParamValue(updater.Header(), 0));
}

TEST_F(CliBundleTest, SettingsSayWhichProductAndHardwareTheyCameFrom)
{
    // A member named exactly, though its hardware code keeps it off the product list.
    CProcessResult r = Cli({"params", "--json", "--product", "foreign.enc", m_bundle});
    ASSERT_EQ(0, r.exitCode) << r.err;
    const nlohmann::json document = nlohmann::json::parse(r.out);
    EXPECT_EQ("00020000", document.at("hardware"));
    EXPECT_EQ("foreign.enc", document.at("product"));
    const auto settings = m_dir / "foreign.json";
    WriteFileBytes(settings, Bytes(r.out.begin(), r.out.end()));

    // Applied to other hardware: said, and refused under --strict.
    const auto out = m_dir / "out.img";
    r = Cli({"set", m_bundle, "--product", "p1.enc", "-o", out.string(), "--settings", settings.string()});
    ASSERT_EQ(0, r.exitCode) << r.err;
    const std::string source = "hardware code 00020000 (product foreign.enc, Corvalin " +
                               std::string(kVersion) + "), the image's is 00010000\n";
    EXPECT_EQ("Loading bundle\nImage loaded\nsettings from other hardware: " + source +
                  "Writing image\nImage stored\n",
              r.err);
    EXPECT_EQ(VolumeLine("023"), r.out);
    std::filesystem::remove(out);
    r = Cli({"set", m_bundle, "--product", "p1.enc", "-o", out.string(), "--settings", settings.string(),
             "--strict"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ("Loading bundle\nImage loaded\ncorvalin-cli: " + settings.string() + ": " + source, r.err);
    EXPECT_FALSE(std::filesystem::exists(out));

    // The product is named as the list shows it, whatever name --product used.
    r = Cli({"params", "--json", "--product", "/root.enc", m_bundle});
    EXPECT_EQ("root.enc", nlohmann::json::parse(r.out).at("product"));
    r = Cli({"params", "--json", "--product", "P3.ENC", m_bundle});
    EXPECT_EQ("p3.enc", nlohmann::json::parse(r.out).at("product"));
}

TEST_F(CliBundleTest, ProductOptionFailures)
{
    // The listed name of "/root.enc" finds it as the stored name does.
    CProcessResult r = Cli({"params", m_bundle, "--product", "root.enc"});
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ(VolumeLine("025"), r.out);
    EXPECT_EQ(0, Cli({"params", m_bundle, "--product", "/root.enc"}).exitCode);
    r = Cli({"params", m_bundle, "--product", "p2.enc"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_TRUE(r.out.empty());
    EXPECT_NE(std::string::npos, r.err.find("no member named 'p2.enc'")) << r.err;

    WriteFileBytes(m_dir / "bare.img", Product("BARE", 1));
    r = Cli({"params", (m_dir / "bare.img").string(), "--product", "p1.enc"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ(0u, r.err.find("Loading bundle\nUnable to load bundle\n")) << r.err;

    CZipMember damaged{"bad.enc", Product("BAD", 1)};
    damaged.corruptCrc = true;
    WriteZip(m_dir / "damaged.zip", {{"image.info", {}}, damaged});
    r = Cli({"params", (m_dir / "damaged.zip").string(), "--product", "bad.enc"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_NE(std::string::npos, r.err.find("damaged")) << r.err;

    EXPECT_EQ(2, Cli({"params", m_bundle, "--product"}).exitCode);
}

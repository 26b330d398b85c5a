// corvalin-fuzz-seeds DIR: writes seed inputs for the fuzz targets into DIR/ccf and
// DIR/ir, from the same CCF files (in every layout) and Pronto codes the tests build, and into
// DIR/image and DIR/bundle, from the images and archives the tests build, and into
// DIR/settings and DIR/record, a settings document and update record lines.

#include "device/UpdateRecord.h"
#include "image/FirmwareImage.h"
#include "params/ParameterTable.h"
#include "params/SettingsDocument.h"
#include "tools/fixtures/CcfBuilder.h"
#include "tools/fixtures/ZipWriter.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

using namespace corvalin::fixtures;

namespace
{

Bytes WordBytes(const Words& words)
{
    Bytes bytes;
    for (uint16_t word : words)
    {
        bytes.push_back(uint8_t(word >> 8));
        bytes.push_back(uint8_t(word));
    }
    return bytes;
}

// Nested frames, every bitmap form, the buttons that are left out, a device list loop.
Bytes MixedCcf()
{
    CCcfBuilder ccf;
    uint32_t grey = ccf.Bitmap(0x0100, Bytes(16 * 4, 0x80));
    uint32_t bits1 = ccf.Bitmap(0x0000, {0x01, 0xFC, 0x03, 0x55});
    uint32_t rle = ccf.Bitmap(0x0081, {0x83, 0x1B, 0x89, 0xFF, 0x80});
    uint32_t bits2 = ccf.Bitmap(0x0001, {0x1B, 0xC0, 0xFF, 0x3F});
    uint32_t deep =
        ccf.Frame("Inner", {ButtonAt(1000, 100, ccf.IrButton("Mute", NecCode(4, 9), grey, 10, 4))});
    uint32_t outer = ccf.Frame("Outer", {ButtonAt(1, 2, ccf.IrButton("Mute", Rc5Code(5, 0x35), bits1, 10, 2)),
                                         FrameAt(65000, 65500, deep)});
    CCcfButton macro;
    macro.name = ccf.Name("Macro");
    macro.actions = ccf.Actions({{2, 0}, {kCcfActionIrCode, ccf.IrCode(SonyCode(0x15, 1))}});
    CCcfChild odd = ButtonAt(0, 0, ccf.Button(macro));
    odd.kind = 2;
    uint32_t panel = ccf.Panel("Main", {ButtonAt(5, 6, ccf.IrButton("Vol+", Rc6Code(0x80, 0x0C), rle, 10, 2)),
                                        odd, ButtonAt(0, 0, ccf.Button(macro)), FrameAt(100, 200, outer)});
    uint32_t second =
        ccf.Panel("More", {ButtonAt(0, 0, ccf.IrButton("\xAA", SharpCode(1, 0x5A), bits2, 5, 2))});
    ccf.Chain({panel, second});
    uint32_t device = ccf.Device("TV", panel);
    ccf.Put32(device, device);
    ccf.SetDeviceList(0, device);
    ccf.SetHeaderPanels(ccf.Panel("Home", {ButtonAt(0, 0, ccf.IrButton("Vol-", NecFrame(0x1234, 1019)))}));
    return ccf.Build();
}

// Small images: with IR button parameters, with a list that has no end, of
// another hardware code, and one block long.
void WriteImageSeeds(const std::filesystem::path& dir)
{
    CImageSpec withIr;
    withIr.params = RealisticParameters(true);
    withIr.bodySize = 1100;
    CImageSpec unterminated;
    unterminated.params.assign(50, {0x30120001u, 7u});
    unterminated.terminate = false;
    unterminated.bodySize = 600;
    CImageSpec foreign;
    foreign.hardwareCode = 0x00020000u;
    foreign.bodySize = 512;
    std::filesystem::create_directories(dir / "image");
    WriteFileBytes(dir / "image" / "ir.img", BuildImageFile(withIr));
    WriteFileBytes(dir / "image" / "unterminated.img", BuildImageFile(unterminated));
    WriteFileBytes(dir / "image" / "foreign.img", BuildImageFile(foreign));

    // Bundles: stored and deflated products, odd and repeated names, a ZIP64 member,
    // a damaged member, no marker, no members at all; and a bare image.
    auto product = [](const std::string& name, uint32_t hardwareCode = 0x00010000u)
    {
        CImageSpec imageSpec;
        imageSpec.name = name;
        imageSpec.hardwareCode = hardwareCode;
        imageSpec.params = {{0x30120001u, 20u}, {0x10030001u, 1u}};
        imageSpec.bodySize = 600;
        return BuildImageFile(imageSpec);
    };
    CZipMember zip64{"Z64_enc.bin", product("Z64"), false};
    zip64.zip64 = true;
    CZipMember damaged{"crc.enc", product("CRC")};
    damaged.corruptCrc = true;
    std::filesystem::create_directories(dir / "bundle");
    WriteZip(dir / "bundle" / "products.zip", {{"IMAGE.INFO", {}},
                                               {"b.enc", product("B")},
                                               {"a_enc.bin", product("A"), false},
                                               {"x_enc.bin", product("X", 0x00020000u)},
                                               {"X_enc.bin", product("BIG X")}});
    WriteZip(dir / "bundle" / "names.zip", {{"image.info", Bytes(3, 'i')},
                                            {"/abs/p_enc.bin", product("P")},
                                            {"C:\\..\\caf\x82_enc.bin", product("CAFE")},
                                            {"dup.enc", product("ONE")},
                                            {"dup.enc", product("TWO")},
                                            zip64,
                                            damaged});
    WriteZip(dir / "bundle" / "nomarker.zip", {{"a.enc", product("A")}});
    WriteZip(dir / "bundle" / "empty.zip", {});
    WriteFileBytes(dir / "bundle" / "bare.img", product("BARE"));
}

// The document of an image with IR button parameters, and record lines of a
// completed update and of a box that never answered.
void WriteDocumentSeeds(const std::filesystem::path& dir)
{
    CImageSpec withIr;
    withIr.params = RealisticParameters(true);
    const Bytes file = BuildImageFile(withIr);
    corvalin::CFirmwareImage image;
    image.LoadBuffer(file.data(), file.size(), [](const std::string&) {});
    corvalin::CParameterTable table;
    corvalin::BuildParameterTable(table);
    const std::string document =
        corvalin::BuildSettingsDocument(table, image.Header(), {"main_enc.bin", "1.0"});
    std::filesystem::create_directories(dir / "settings");
    WriteFileBytes(dir / "settings" / "ir.json", Bytes(document.begin(), document.end()));

    corvalin::CPortRecord port;
    port.m_strPort = "ttyUSB3";
    port.m_bRecord = true;
    port.m_strName = "BOX \xE9";
    port.m_nNumber = 1234;
    const corvalin::CUpdateRecord described = corvalin::DescribeImage("fw, \"new\".img", "Product A", image);
    std::filesystem::create_directories(dir / "record");
    const std::pair<const char*, std::string> lines[] = {
        {"complete",
         corvalin::RecordLine(corvalin::MakeUpdateRecord(described, port, "Update complete", true, 71.4, 0))},
        {"silent", corvalin::RecordLine(corvalin::MakeUpdateRecord(
                       described, corvalin::CPortRecord{}, "Cannot communicate, try to replug the USB", false,
                       std::nullopt, 1800000000))},
    };
    for (const auto& [name, line] : lines)
        WriteFileBytes(dir / "record" / name, Bytes(line.begin(), line.end()));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: corvalin-fuzz-seeds DIR\n");
        return 2;
    }
    try
    {
        std::filesystem::path dir = argv[1];
        std::filesystem::create_directories(dir / "ccf");
        std::filesystem::create_directories(dir / "ir");
        WriteFileBytes(dir / "ccf" / "mixed.ccf", MixedCcf());
        WriteFileBytes(dir / "ccf" / "demo.ccf", BuildDemoCcf());
        WriteFileBytes(dir / "ccf" / "large.ccf", BuildLargeCcf(60, 0));
        // Files that are costly for their size: shared entries, deep nesting (past the
        // walk's depth limit), a fan-out the walk's budget stops, and huge keys.
        WriteFileBytes(dir / "ccf" / "wide.ccf", BuildWideCcf());
        WriteFileBytes(dir / "ccf" / "deep.ccf", BuildDeepCcf(300));
        WriteFileBytes(dir / "ccf" / "fan-out.ccf", BuildFanOutCcf(3));
        WriteFileBytes(dir / "ccf" / "huge-keys.ccf", BuildHugeKeysCcf());
        // One remote in the layouts the capability word selects, and 256-colour keys.
        WriteFileBytes(dir / "ccf" / "layout-grey.ccf", BuildLayoutRemote(kCcfGrey));
        WriteFileBytes(dir / "ccf" / "layout-grey-udb.ccf", BuildLayoutRemote(kCcfGreyUdb));
        WriteFileBytes(dir / "ccf" / "layout-colour-udb.ccf", BuildLayoutRemote(kCcfColourUdb));
        WriteFileBytes(dir / "ccf" / "layout-colour-timers.ccf", BuildLayoutRemote(kCcfColourTimers));
        WriteFileBytes(dir / "ccf" / "layout-colour-timers-udb.ccf", BuildLayoutRemote(kCcfColourTimersUdb));
        WriteFileBytes(dir / "ccf" / "colour-keys.ccf", BuildColourCcf(20));

        const std::pair<const char*, Words> codes[] = {
            {"nec", NecCode(0x04, 0x08)},
            {"nec-repeat", NecFrame(0x1FE, 1518, {342, 86, 21, 3700})},
            {"hitachi", NecFrame(0x1234, 1019)},
            {"sony12", SonyCode(0x15, 1)},
            {"sony15", SonyCode(0x7F, 0xA5, 15)},
            {"sony20", SonyCode(0x01, 0x1ABC, 20)},
            {"sony12-once", SonyOnceCode(0x15, 1)},
            {"rc5", Rc5Code(5, 0x35)},
            {"rc6", Rc6Code(0x80, 0x0C)},
            {"rc6-trailer0", Rc6Code(0x80, 0x0C, false)},
            {"sharp", SharpCode(1, 0x5A)},
        };
        for (const auto& [name, words] : codes)
            WriteFileBytes(dir / "ir" / name, WordBytes(words));
        WriteImageSeeds(dir);
        WriteDocumentSeeds(dir);
    }
    catch (const std::exception& error)
    {
        std::fprintf(stderr, "corvalin-fuzz-seeds: %s\n", error.what());
        return 1;
    }
    return 0;
}

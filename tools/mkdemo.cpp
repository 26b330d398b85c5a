// corvalin-mkdemo DIR: writes the demo's sample files into DIR.
// corvalin-mkdemo --image FILE BODY_BYTES: writes one test image with a body of that
// size, for the test scripts that drive the programs from outside.

#include "tools/fixtures/CcfBuilder.h"
#include "tools/fixtures/ImageBuilder.h"
#include "tools/fixtures/ZipWriter.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>

using namespace corvalin::fixtures;

namespace
{

// One product image of the demo bundle: a realistic parameter list with a few
// values of its own, and a body that compresses like firmware.
Bytes DemoProduct(const std::string& name, bool withIrButtons, uint32_t volvoModel, uint32_t volume,
                  uint32_t hardwareCode, uint32_t seed)
{
    CImageSpec imageSpec;
    imageSpec.name = name;
    imageSpec.hardwareCode = hardwareCode;
    imageSpec.params = RealisticParameters(withIrButtons);
    for (auto& [id, value] : imageSpec.params)
    {
        if (id == 0x601A0001u)
            value = volvoModel;
        else if (id == 0x30120001u)
            value = volume;
    }
    return BuildImageFileWithBody(imageSpec, MakeCompressibleBody(128 * 1024 + 100 * seed, seed));
}

} // namespace

int main(int argc, char** argv)
{
    const bool oneImage = argc == 4 && std::strcmp(argv[1], "--image") == 0;
    if (argc != 2 && !oneImage)
    {
        std::fprintf(stderr, "usage: corvalin-mkdemo DIR\n       corvalin-mkdemo --image FILE BODY_BYTES\n");
        return 2;
    }
    try
    {
        if (oneImage)
        {
            CImageSpec imageSpec;
            imageSpec.bodySize = std::strtoul(argv[3], nullptr, 10);
            WriteFileBytes(argv[2], BuildImageFile(imageSpec));
            return 0;
        }
        std::filesystem::path dir = argv[1];
        std::filesystem::create_directories(dir);

        CImageSpec imageSpec;
        imageSpec.name = "DEMO VOLVO P3 1.07";
        imageSpec.params = RealisticParameters(false);
        imageSpec.bodySize = 96 * 1024 + 300;
        imageSpec.bodySeed = 7;
        WriteFileBytes(dir / "demo.img", BuildImageFile(imageSpec));
        std::printf("%s\n", (dir / "demo.img").string().c_str());

        // A bundle in the order an archiver might store it; the tool lists it sorted.
        // The P1 image is for other hardware and is not offered.
        std::string info = "Corvalin demo bundle\n";
        WriteZip(
            dir / "demo-bundle.zip",
            {{"image.info", Bytes(info.begin(), info.end())},
             {"VOLVO_P3_enc_1.07.bin", DemoProduct("DEMO VOLVO P3 1.07", false, 8, 20, 0x00010000u, 3)},
             {"VOLVO_P2_IR_enc_1.02.bin", DemoProduct("DEMO VOLVO P2 IR 1.02", true, 3, 18, 0x00010000u, 4)},
             {"VOLVO_P1_enc_0.90.bin", DemoProduct("DEMO VOLVO P1 0.90", false, 1, 15, 0x00020000u, 5)},
             {"notes.txt", Bytes(info.begin(), info.end())}});
        std::printf("%s\n", (dir / "demo-bundle.zip").string().c_str());
        // An image that carries IR button parameters, and a remote to take codes from.
        CImageSpec irSpec = imageSpec;
        irSpec.name = "DEMO VOLVO P3 1.07 IR";
        irSpec.params = RealisticParameters(true);
        WriteFileBytes(dir / "demo-ir.img", BuildImageFile(irSpec));
        std::printf("%s\n", (dir / "demo-ir.img").string().c_str());
        WriteFileBytes(dir / "demo.ccf", BuildDemoCcf());
        std::printf("%s\n", (dir / "demo.ccf").string().c_str());
    }
    catch (const std::exception& error)
    {
        std::fprintf(stderr, "corvalin-mkdemo: %s\n", error.what());
        return 1;
    }
    return 0;
}

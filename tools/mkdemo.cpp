// corvalin-mkdemo DIR: writes the demo's sample files into DIR.

#include "tools/fixtures/CcfBuilder.h"
#include "tools/fixtures/ImageBuilder.h"

#include <cstdio>
#include <exception>
#include <filesystem>

using namespace corvalin::fixtures;

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: corvalin-mkdemo DIR\n");
        return 2;
    }
    try
    {
        std::filesystem::path dir = argv[1];
        std::filesystem::create_directories(dir);

        CImageSpec spec;
        spec.name = "DEMO VOLVO P3 1.07";
        spec.params = RealisticParameters(false);
        spec.bodySize = 96 * 1024 + 300;
        spec.bodySeed = 7;
        WriteFileBytes(dir / "demo.img", BuildImageFile(spec));
        std::printf("%s\n", (dir / "demo.img").string().c_str());

        // An image that carries IR button parameters, and a remote to take codes from.
        CImageSpec irSpec = spec;
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

// Any text as a settings document for an image with every kind of parameter: either a
// refusal with a reason, or a plan whose values, once applied, make an image whose own
// document is accepted again.

#include "image/FirmwareImage.h"
#include "params/SettingsDocument.h"
#include "tests/fuzz/FuzzTable.h"
#include "tools/fixtures/ImageBuilder.h"

#include <cstdlib>
#include <string>

using namespace corvalin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const CParameterTable& table = FuzzParameterTable();
    static const ImageHeader header = []
    {
        fixtures::CImageSpec imageSpec;
        imageSpec.params = fixtures::RealisticParameters(true);
        const fixtures::Bytes file = fixtures::BuildImageFile(imageSpec);
        CFirmwareImage image;
        image.LoadBuffer(file.data(), file.size(), [](const std::string&) {});
        return image.Header();
    }();

    CSettingsPlan plan;
    std::string error;
    if (!PlanSettings(table, header, std::string(reinterpret_cast<const char*>(data), size), plan, error))
    {
        if (error.empty())
            std::abort();
        return 0;
    }
    ImageHeader changed = header;
    for (const CSettingsPlan::CChange& change : plan.m_changes)
    {
        if (change.m_nSlot < 0 || change.m_nSlot >= kParamSlots)
            std::abort();
        SetParamValue(changed, change.m_nSlot, change.m_nValue);
    }
    CSettingsPlan again;
    if (!PlanSettings(table, changed, BuildSettingsDocument(table, changed, {"product", "1.0"}), again,
                      error))
        std::abort();
    return 0;
}

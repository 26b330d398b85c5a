#include "cli/SettingsSupport.h"

#include "params/SettingsDocument.h"
#include "platform/FileIo.h"

#include <cstdio>

namespace corvalin::cli
{

namespace
{

// Reads FILE as a settings document, saying on stderr why it cannot be.
bool ReadSettingsDocument(const std::string& file, std::string& text)
{
    if (!CheckReadableFile(file))
        return false;
    switch (ReadSettingsFile(platform::PathFromUtf8(file), text))
    {
    case ESettingsFileRead::Ok:
        return true;
    case ESettingsFileRead::TooLarge:
        PrintError(file + ": too large for a settings document");
        return false;
    case ESettingsFileRead::CannotRead:
        break;
    }
    const std::string problem = DescribeFileProblem(file, EFileUse::Read);
    PrintError(file + ": " + (problem.empty() ? "cannot be read" : problem));
    return false;
}

} // namespace

bool PlanSettingsFile(const std::string& file, const ImageHeader& header, bool strict,
                      std::vector<std::pair<int, uint32_t>>& changes)
{
    std::string text;
    if (!ReadSettingsDocument(file, text))
        return false;
    CParameterTable table;
    BuildParameterTable(table);
    CSettingsPlan plan;
    std::string error;
    if (!PlanSettings(table, header, text, plan, error))
    {
        PrintError(file + ": " + error);
        return false;
    }

    const std::string imageCode = HexWord(GetHardwareCode(header));
    std::vector<std::string> findings;
    if (!plan.m_hardwareCode)
        findings.push_back(
            strict ? "no hardware code, so the settings cannot be checked against the image's " + imageCode
                   : "settings without a hardware code (written before documents named their "
                     "source): not checked against the image's " +
                         imageCode);
    else if (plan.m_bOtherHardware)
        findings.push_back((strict ? "" : "settings from other hardware: ") + SettingsSourceText(plan) +
                           ", the image's is " + imageCode);
    for (const std::string& name : plan.m_notInImage)
        findings.push_back((strict ? "not in the image: " : "not in the image, left out: ") + name);
    for (const std::string& name : plan.m_notInDocument)
        findings.push_back((strict ? "not in the settings: " : "not in the settings, kept as it is: ") +
                           name);

    for (const std::string& finding : findings)
    {
        if (strict)
            PrintError(file + ": " + finding);
        else
            std::fprintf(stderr, "%s\n", finding.c_str());
    }
    if (strict && !findings.empty())
        return false;
    for (const CSettingsPlan::CChange& change : plan.m_changes)
        changes.emplace_back(change.m_nSlot, change.m_nValue);
    return true;
}

bool TakeSettingsOptions(Args& args, std::optional<std::string>& settings, bool& strict, int& exitCode)
{
    bool missing = false;
    settings = TakeOption(args, "--settings", missing);
    if (missing)
    {
        exitCode = UsageError("--settings needs a file");
        return false;
    }
    strict = TakeFlag(args, "--strict");
    if (strict && !settings)
    {
        exitCode = UsageError("--strict goes with --settings");
        return false;
    }
    return true;
}

} // namespace corvalin::cli

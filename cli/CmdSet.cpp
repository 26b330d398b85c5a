// corvalin-cli set FILE -o OUT [--product NAME] [--settings SETTINGS] [ASSIGNMENT...]

#include "cli/Assignment.h"
#include "cli/Commands.h"
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
    default:
        PrintError(file + ": cannot be read");
        return false;
    }
}

} // namespace

int RunSet(Args args)
{
    bool missing = false;
    std::optional<std::string> settings = TakeOption(args, "--settings", missing);
    if (missing)
        return UsageError("--settings needs a file");
    COutputOptions options;
    int usageExit = kExitUsage;
    if (!TakeOutputOptions(args, "set", options, usageExit))
        return usageExit;
    if (const std::string option = FirstUnknownOption(args); !option.empty())
        return UsageError("unknown option '" + option + "'");
    if (args.empty() || (args.size() < 2 && !settings))
        return UsageError("set takes FILE and --settings SETTINGS or at least one ASSIGNMENT");

    std::vector<CAssignment> assignments(args.size() - 1);
    for (std::size_t i = 1; i < args.size(); ++i)
    {
        std::string error;
        if (!ParseAssignment(args[i], assignments[i - 1], error))
            return UsageError(error);
    }

    CStderrImage image;
    if (!LoadSourceImage(image, args[0], options.m_product))
        return kExitFailure;

    // The settings and every assignment are checked before the first change, so a bad
    // one leaves nothing written. Assignments come after the settings and win over them.
    CParameterTable table;
    BuildParameterTable(table);
    std::vector<std::pair<int, uint32_t>> changes;
    if (settings)
    {
        std::string text;
        if (!ReadSettingsDocument(*settings, text))
            return kExitFailure;
        CSettingsPlan plan;
        std::string error;
        if (!PlanSettings(table, image.Header(), text, plan, error))
        {
            PrintError(*settings + ": " + error);
            return kExitFailure;
        }
        for (const std::string& name : plan.m_notInImage)
            std::fprintf(stderr, "not in the image, left out: %s\n", name.c_str());
        for (const std::string& name : plan.m_notInDocument)
            std::fprintf(stderr, "not in the settings, kept as it is: %s\n", name.c_str());
        for (const CSettingsPlan::CChange& change : plan.m_changes)
            changes.emplace_back(change.m_nSlot, change.m_nValue);
    }
    std::string error;
    if (!ResolveAssignments(table, image.Header(), assignments, changes, error))
    {
        PrintError(error);
        return kExitFailure;
    }
    for (const auto& [slot, value] : changes)
        SetParamValue(image.Header(), slot, value);

    if (!StoreOutputImage(image, options.m_strOut))
        return kExitFailure;
    PrintDisplayList(image.Header());
    return kExitOk;
}

} // namespace corvalin::cli

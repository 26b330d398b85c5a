// corvalin-cli set FILE -o OUT [--product NAME] [--settings SETTINGS [--strict]] [ASSIGNMENT...]

#include "cli/Assignment.h"
#include "cli/Commands.h"
#include "cli/SettingsSupport.h"

namespace corvalin::cli
{

int RunSet(Args args)
{
    std::optional<std::string> settings;
    bool strict = false;
    if (int usage = 0; !TakeSettingsOptions(args, settings, strict, usage))
        return usage;
    COutputOptions options;
    int usageExit = kExitUsage;
    if (!TakeOutputOptions(args, "set", options, usageExit))
        return usageExit;
    if (const int usage = RefuseUnknownOption(args))
        return usage;
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
    if (settings && !PlanSettingsFile(*settings, image.Header(), strict, changes))
        return kExitFailure;
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

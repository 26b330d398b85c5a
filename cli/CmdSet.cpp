// corvalin-cli set FILE -o OUT [--product NAME] ASSIGNMENT...

#include "cli/Assignment.h"
#include "cli/Commands.h"
#include "platform/FileIo.h"

namespace corvalin::cli
{

int RunSet(Args args)
{
    COutputOptions options;
    int usageExit = kExitUsage;
    if (!TakeOutputOptions(args, "set", options, usageExit))
        return usageExit;
    if (args.size() < 2)
        return UsageError("set takes FILE and at least one ASSIGNMENT");

    std::vector<CAssignment> assignments(args.size() - 1);
    for (std::size_t i = 1; i < args.size(); ++i)
    {
        std::string error;
        if (!ParseAssignment(args[i], assignments[i - 1], error))
            return UsageError(error);
    }

    CUpdater updater;
    CStderrStatus status;
    updater.AttachControls(nullptr, &status);
    if (!LoadSourceImage(updater, args[0], options.m_product))
        return kExitFailure;

    // Every assignment is checked before the first one changes anything, so a bad
    // one leaves nothing written.
    CParameterTable table;
    BuildParameterTable(table);
    CDisplayList list = BuildDisplayList(table, updater.Header());
    std::vector<std::pair<int, uint32_t>> changes;
    for (const CAssignment& assignment : assignments)
    {
        std::string error;
        int slot = 0;
        uint32_t value = 0;
        if (!ResolveAssignmentSlot(assignment, updater.Header(), list, slot, error) ||
            !ReadAssignmentValue(GetParamId(updater.Header(), slot), assignment.m_strValue, value, error))
        {
            PrintError(error);
            return kExitFailure;
        }
        changes.emplace_back(slot, value);
    }
    for (const auto& [slot, value] : changes)
        SetParamValue(updater.Header(), slot, value);

    updater.StoreImageFile(platform::PathFromUtf8(options.m_strOut));
    if (status.LastText() != "Image stored")
        return kExitFailure;
    PrintDisplayList(updater);
    return kExitOk;
}

} // namespace corvalin::cli

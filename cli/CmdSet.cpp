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
    std::string error;
    if (!ApplyAssignments(updater.Header(), assignments, error))
    {
        PrintError(error);
        return kExitFailure;
    }

    updater.StoreImageFile(platform::PathFromUtf8(options.m_strOut));
    if (status.LastText() != "Image stored")
        return kExitFailure;
    PrintDisplayList(updater);
    return kExitOk;
}

} // namespace corvalin::cli

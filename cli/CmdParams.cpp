// corvalin-cli params FILE [--product NAME]

#include "cli/Commands.h"

namespace corvalin::cli
{

int RunParams(Args args)
{
    bool missing = false;
    std::optional<std::string> product = TakeOption(args, "--product", missing);
    if (missing)
        return UsageError("--product needs a name");
    if (args.size() != 1)
        return UsageError("params takes one FILE");

    CUpdater updater;
    CStderrStatus status;
    updater.AttachControls(nullptr, &status);
    if (!LoadSourceImage(updater, args[0], product))
        return kExitFailure;
    PrintDisplayList(updater);
    return kExitOk;
}

} // namespace corvalin::cli

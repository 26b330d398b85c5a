// corvalin-cli params FILE [--product NAME] [--json]

#include "BuildVersion.h"
#include "cli/Commands.h"
#include "params/SettingsDocument.h"

#include <cstdio>

namespace corvalin::cli
{

int RunParams(Args args)
{
    bool missing = false;
    std::optional<std::string> product = TakeOption(args, "--product", missing);
    if (missing)
        return UsageError("--product needs a name");
    const bool json = TakeFlag(args, "--json");
    if (const int usage = RefuseUnknownOption(args))
        return usage;
    if (args.size() != 1)
        return UsageError("params takes one FILE");

    CStderrImage image;
    CSettingsSource source;
    if (!LoadSourceImage(image, args[0], product, &source.m_strProduct))
        return kExitFailure;
    if (json)
    {
        CParameterTable table;
        BuildParameterTable(table);
        source.m_strVersion = kVersion;
        std::fputs(BuildSettingsDocument(table, image.Header(), source).c_str(), stdout);
    }
    else
        PrintDisplayList(image.Header());
    return kExitOk;
}

} // namespace corvalin::cli

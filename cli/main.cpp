// corvalin-cli: the headless companion of the Corvalin window, for scripts and batch work.

#include "cli/Commands.h"
#include "platform/Terminal.h"

#ifdef _WIN32
#include "platform/win32/WideText.h"
#endif

#include <cstdio>

namespace
{

struct Command
{
    const char* name;
    int (*run)(corvalin::cli::Args);
};

const Command kCommands[] = {
    {"params", corvalin::cli::RunParams},
    {"set", corvalin::cli::RunSet},
    {"products", corvalin::cli::RunProducts},
    {"decode", corvalin::cli::RunDecode},
    {"ccf", corvalin::cli::RunCcf},
    {"ir-import", corvalin::cli::RunIrImport},
    {"devices", corvalin::cli::RunDevices},
    {"update", corvalin::cli::RunUpdate},
};

// Runs the command named by the first argument; `args` are UTF-8 text.
int Run(const corvalin::cli::Args& args)
{
    using namespace corvalin::cli;
    corvalin::platform::CUtf8Console console;
    if (args.empty())
        return UsageError("no command given");
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help")
    {
        PrintUsage(stdout);
        return kExitOk;
    }
    for (const Command& command : kCommands)
    {
        if (args[0] == command.name)
            return command.run(Args(args.begin() + 1, args.end()));
    }
    return UsageError("unknown command '" + args[0] + "'");
}

} // namespace

#ifdef _WIN32
// The wide entry point: the narrow arguments of Windows are in the ANSI code page,
// which cannot spell most file names, so they are taken as UTF-16 and turned into UTF-8.
int wmain(int argc, wchar_t** argv)
{
    corvalin::cli::Args args;
    for (int i = 1; i < argc; ++i)
        args.push_back(corvalin::platform::Narrow(argv[i]));
    return Run(args);
}
#else
int main(int argc, char** argv)
{
    return Run(corvalin::cli::Args(argv + 1, argv + argc));
}
#endif

// corvalin-cli: the headless companion of the Corvalin window, for scripts and batch work.

#include "BuildVersion.h"
#include "cli/Commands.h"
#include "platform/Terminal.h"

#ifdef _WIN32
#include "platform/win32/WideText.h"
#endif

#include <cstdio>
#include <iterator>
#include <string_view>

namespace
{

struct Command
{
    std::string_view m_strName;
    int (*m_pRun)(corvalin::cli::Args);
};

constexpr Command kCommands[] = {
    {"params", corvalin::cli::RunParams},
    {"set", corvalin::cli::RunSet},
    {"diff", corvalin::cli::RunDiff},
    {"products", corvalin::cli::RunProducts},
    {"decode", corvalin::cli::RunDecode},
    {"ccf", corvalin::cli::RunCcf},
    {"ir-import", corvalin::cli::RunIrImport},
    {"devices", corvalin::cli::RunDevices},
    {"update", corvalin::cli::RunUpdate},
    {"station", corvalin::cli::RunStation},
    {"log", corvalin::cli::RunLog},
};

// Every command has its usage entry, in the same order.
constexpr bool CommandsMatchUsages()
{
    if (std::size(kCommands) != std::size(corvalin::cli::kCommandUsages))
        return false;
    for (std::size_t i = 0; i < std::size(kCommands); ++i)
    {
        if (kCommands[i].m_strName != corvalin::cli::kCommandUsages[i].m_strName)
            return false;
    }
    return true;
}
static_assert(CommandsMatchUsages(), "each command needs its usage in cli/CommandUsage.h");

// "help" alone prints the usage of every command, "help COMMAND" that of one.
int Help(const corvalin::cli::Args& args)
{
    using namespace corvalin::cli;
    if (args.size() == 1)
    {
        PrintUsage(stdout);
        return kExitOk;
    }
    if (args.size() > 2)
        return UsageError("help takes at most one COMMAND");
    const CCommandUsage* usage = FindCommandUsage(args[1]);
    if (usage == nullptr)
        return UsageError("unknown command '" + args[1] + "'");
    PrintCommandUsage(stdout, *usage);
    return kExitOk;
}

// Runs the command named by the first argument; `args` are UTF-8 text.
int Run(const corvalin::cli::Args& args)
{
    using namespace corvalin::cli;
    corvalin::platform::CUtf8Console console;
    if (args.empty())
        return UsageError("no command given");
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help")
        return Help(args);
    if (args[0] == "--version")
    {
        std::printf("corvalin-cli %s\n", corvalin::kVersion);
        return kExitOk;
    }
    for (const Command& command : kCommands)
    {
        if (args[0] == command.m_strName)
        {
            SetRunningCommand(command.m_strName);
            return command.m_pRun(Args(args.begin() + 1, args.end()));
        }
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

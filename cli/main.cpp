// corvalin-cli: the headless companion of the Corvalin window, for scripts and batch work.

#include "cli/Commands.h"

#include <cstdio>
#include <cstring>

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

} // namespace

int main(int argc, char** argv)
{
    using namespace corvalin::cli;
    if (argc < 2)
        return UsageError("no command given");
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "help") == 0)
    {
        PrintUsage(stdout);
        return kExitOk;
    }
    for (const Command& command : kCommands)
    {
        if (std::strcmp(argv[1], command.name) == 0)
            return command.run(Args(argv + 2, argv + argc));
    }
    return UsageError(std::string("unknown command '") + argv[1] + "'");
}

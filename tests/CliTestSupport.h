#pragma once
// Runs the corvalin-cli the build made, as a script would.

#include "tools/fixtures/ProcessRunner.h"

#include <string>
#include <vector>

namespace corvalin::testing
{

inline fixtures::CProcessResult Cli(const std::vector<std::string>& args)
{
    return fixtures::RunProcess(CORVALIN_CLI_PATH, args);
}

} // namespace corvalin::testing

#pragma once
// The subcommands of corvalin-cli; each takes the arguments after its name.

#include "cli/CliSupport.h"

namespace corvalin::cli
{

int RunParams(Args args);
int RunSet(Args args);
int RunDiff(Args args);
int RunProducts(Args args);
int RunDecode(Args args);
int RunCcf(Args args);
int RunIrImport(Args args);
int RunDevices(Args args);
int RunUpdate(Args args);
int RunStation(Args args);
int RunLog(Args args);

} // namespace corvalin::cli

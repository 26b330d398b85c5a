#pragma once
// The window program's command line, the same for every toolkit: `corvalin [FILE]`,
// `corvalin --help` and `corvalin --version`. FILE is opened once the window shows,
// as if it had been chosen with "...".

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace corvalin
{

enum class ECommandLineAction
{
    Run,     // show the window, opening m_file when there is one
    Help,    // print the usage and end with success
    Version, // print the version and end with success
    Error,   // print m_strError and the usage to the error stream and end with 2
};

struct CCommandLine
{
    ECommandLineAction m_eAction = ECommandLineAction::Run;
    std::optional<std::filesystem::path> m_file;
    std::string m_strError;
};

// The arguments after the program's name.
CCommandLine ParseCommandLine(const std::vector<std::filesystem::path>& args);

// The text --help prints, ending with a line break.
std::string CommandLineUsage();

} // namespace corvalin

#include "gui/model/CommandLine.h"

namespace corvalin
{

CCommandLine ParseCommandLine(const std::vector<std::filesystem::path>& args)
{
    // --help and --version answer wherever they stand before "--".
    for (const std::filesystem::path& arg : args)
    {
        if (arg == "--")
            break;
        if (arg == "--help" || arg == "-h")
            return {ECommandLineAction::Help, std::nullopt, {}};
        if (arg == "--version")
            return {ECommandLineAction::Version, std::nullopt, {}};
    }
    CCommandLine line;
    bool bOptionsEnd = false;
    for (const std::filesystem::path& arg : args)
    {
        const std::string text = arg.generic_string();
        if (!bOptionsEnd && text == "--")
        {
            bOptionsEnd = true;
            continue;
        }
        // A name that starts with a dash can still be opened after "--".
        if (!bOptionsEnd && text.size() > 1 && text[0] == '-')
            return {ECommandLineAction::Error, std::nullopt, "unknown option " + text};
        if (line.m_file)
            return {ECommandLineAction::Error, std::nullopt, "only one file can be opened"};
        line.m_file = arg;
    }
    return line;
}

std::string CommandLineUsage()
{
    return "usage: corvalin [FILE]\n"
           "       corvalin --help | --version\n"
           "\n"
           "Shows the Corvalin window, with which the firmware and the settings of an\n"
           "interface box are brought up to date over its USB cable. FILE, an update\n"
           "bundle or a firmware image, is opened at start as if chosen with \"...\".\n"
           "\n"
           "  --help     print this text and end\n"
           "  --version  print the program's version and end\n"
           "\n"
           "corvalin-cli does the same jobs from scripts; see corvalin-cli --help.\n";
}

} // namespace corvalin

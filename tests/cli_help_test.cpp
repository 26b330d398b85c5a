// corvalin-cli --version, --help and help COMMAND, run as the program itself.

#include "CliTestSupport.h"

#include "BuildVersion.h"
#include "cli/CommandUsage.h"

#include <gtest/gtest.h>

using namespace corvalin;
using namespace corvalin::fixtures;
using namespace corvalin::testing;

TEST(CliHelpTest, VersionIsTheBuildVersion)
{
    ASSERT_STRNE("", kVersion);
    CProcessResult r = Cli({"--version"});
    EXPECT_EQ(0, r.exitCode);
    EXPECT_EQ(std::string("corvalin-cli ") + kVersion + "\n", r.out);
    EXPECT_EQ("", r.err);
}

TEST(CliHelpTest, HelpCoversEveryCommand)
{
    CProcessResult all = Cli({"--help"});
    EXPECT_EQ(0, all.exitCode);
    EXPECT_EQ("", all.err);
    for (const cli::CCommandUsage& usage : cli::kCommandUsages)
    {
        const std::string name(usage.m_strName);
        EXPECT_NE(std::string::npos, all.out.find("\n  " + name)) << name;

        // One command's usage only, not the whole list.
        CProcessResult one = Cli({"help", name});
        EXPECT_EQ(0, one.exitCode) << name;
        EXPECT_EQ(0u, one.out.rfind("usage: corvalin-cli " + name, 0)) << one.out;
        EXPECT_EQ(std::string::npos, one.out.find("commands:")) << one.out;
        EXPECT_EQ("", one.err) << name;
    }
}

TEST(CliHelpTest, AUsageErrorPrintsTheUsageOfItsCommandOnly)
{
    const std::string hint = "'corvalin-cli help' lists every command.\n";
    CProcessResult r = Cli({"params", "--jsn", "in.img"});
    EXPECT_EQ(2, r.exitCode);
    EXPECT_EQ("corvalin-cli: unknown option '--jsn'\n" + Cli({"help", "params"}).out + hint, r.err);

    // Also for a command that names its own errors.
    r = Cli({"station"});
    EXPECT_EQ(2, r.exitCode);
    EXPECT_NE(std::string::npos, r.err.find("\n" + Cli({"help", "station"}).out + hint)) << r.err;
    EXPECT_EQ(std::string::npos, r.err.find("commands:")) << r.err;

    // Without a known command there is no one usage to print.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"frobnicate"}, std::vector<std::string>{}})
    {
        r = Cli(args);
        EXPECT_EQ(2, r.exitCode);
        EXPECT_NE(std::string::npos, r.err.find("commands:")) << r.err;
    }
}

TEST(CliHelpTest, EveryCommandRefusesAnOptionItDoesNotKnow)
{
    // A mistyped option must stop the command before it reads a file or talks to a box.
    for (const cli::CCommandUsage& usage : cli::kCommandUsages)
    {
        const std::string name(usage.m_strName);
        if (name == "devices")
            continue; // takes no arguments at all
        CProcessResult r = Cli({name, "--prot", "in.img", "-o", "out.img"});
        EXPECT_EQ(2, r.exitCode) << name;
        EXPECT_EQ(0u, r.err.rfind("corvalin-cli: unknown option '--prot'\n", 0)) << name << ": " << r.err;
    }
}

TEST(CliHelpTest, HelpOnAnUnknownCommandIsAUsageError)
{
    CProcessResult r = Cli({"help", "flash"});
    EXPECT_EQ(2, r.exitCode);
    EXPECT_EQ("", r.out);
    EXPECT_NE(std::string::npos, r.err.find("unknown command 'flash'")) << r.err;
}

// The window program's command line: a file to open, --help and --version anywhere
// before "--", and the mistakes that end it with its usage; and where the window looks
// for the Pronto font.

#include "gui/model/CommandLine.h"
#include "gui/model/ProntoFont.h"
#include "tools/fixtures/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace corvalin;

TEST(WindowCommandLine, OpensOneFileAnswersHelpAndRefusesTheRest)
{
    using P = std::filesystem::path;
    EXPECT_EQ(ParseCommandLine({}).m_eAction, ECommandLineAction::Run);
    EXPECT_FALSE(ParseCommandLine({}).m_file);

    const CCommandLine one = ParseCommandLine({P("bundle.zip")});
    EXPECT_EQ(one.m_eAction, ECommandLineAction::Run);
    EXPECT_EQ(one.m_file, P("bundle.zip"));
    // After "--" a name that starts with a dash is a file, and --help is one too.
    EXPECT_EQ(ParseCommandLine({P("--"), P("-odd.img")}).m_file, P("-odd.img"));
    EXPECT_EQ(ParseCommandLine({P("--"), P("--help")}).m_file, P("--help"));

    EXPECT_EQ(ParseCommandLine({P("x.img"), P("--help")}).m_eAction, ECommandLineAction::Help);
    EXPECT_EQ(ParseCommandLine({P("-h")}).m_eAction, ECommandLineAction::Help);
    EXPECT_EQ(ParseCommandLine({P("--bogus"), P("--version")}).m_eAction, ECommandLineAction::Version);

    const CCommandLine unknown = ParseCommandLine({P("--bogus")});
    EXPECT_EQ(unknown.m_eAction, ECommandLineAction::Error);
    EXPECT_EQ(unknown.m_strError, "unknown option --bogus");
    EXPECT_EQ(ParseCommandLine({P("a.img"), P("b.img")}).m_eAction, ECommandLineAction::Error);

    EXPECT_EQ(CommandLineUsage().rfind("usage: corvalin [FILE]\n", 0), 0u);
}

TEST(ProntoFontPlace, BesideTheProgramThenItsDataFolderNeverTheCurrentFolder)
{
    const fixtures::CTempDir dir;
    const std::filesystem::path root = dir.Path();
    std::filesystem::create_directories(root / "bin");
    std::filesystem::create_directories(root / "share" / "corvalin");
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(root);
    // A font in the current folder is not taken.
    std::ofstream(root / "Pronto.ttf") << "font";
    EXPECT_FALSE(FindProntoFont(root / "bin"));
    std::ofstream(root / "share" / "corvalin" / "Pronto.ttf") << "font";
    EXPECT_EQ(FindProntoFont(root / "bin"), root / "share" / "corvalin" / "Pronto.ttf");
    std::ofstream(root / "bin" / "Pronto.ttf") << "font";
    EXPECT_EQ(FindProntoFont(root / "bin"), root / "bin" / "Pronto.ttf");
    EXPECT_FALSE(FindProntoFont({}));
    std::filesystem::current_path(before);
}

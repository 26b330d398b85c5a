// corvalin-cli devices and update, end to end against corvalin-boxsim (on Windows
// through a Wine COM port).

#include "CliTestSupport.h"
#include "DeviceTestSupport.h"

#include "device/UpdateRecord.h"
#include "image/Sha256.h"
#include "platform/DeviceHints.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <regex>

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

using namespace corvalin;
using namespace corvalin::fixtures;
using namespace corvalin::testing;

namespace
{

// The update record's lines, each parsed.
std::vector<nlohmann::json> RecordLines(const std::filesystem::path& log)
{
    std::vector<nlohmann::json> lines;
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);)
        lines.push_back(nlohmann::json::parse(line));
    return lines;
}

class CliDeviceTest : public ::testing::Test
{
  protected:
    CliDeviceTest()
    {
        m_spec.bodySize = 5 * 512 + 17;
        m_image = m_dir / "in.img";
        WriteFileBytes(m_image, BuildImageFile(m_spec));
    }

    CTempDir m_dir;
    CImageSpec m_spec;
    std::filesystem::path m_image;
};

} // namespace

TEST_F(CliDeviceTest, DevicesPrintsTheBoxOrWhyThereIsNone)
{
    {
        CSimulatedBox box({"--name", "BOX", "--number", "1234"});
        CProcessResult r = Cli({"devices"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, box.ShownName() + " | BOX | 00001234\n");
    }
    {
        // A name with control characters cannot clear or recolour the terminal.
        CSimulatedBox box({"--name", "A\x1b[2J\tB", "--number", "1"});
        CProcessResult r = Cli({"devices"});
        EXPECT_EQ(r.out, box.ShownName() + " | A?[2J?B | 00000001\n");
    }
    {
        CSimulatedBox box({"--mark", "0BADBEEF"});
        CProcessResult r = Cli({"devices"});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "Cannot communicate, try to replug the USB\n");
    }
    CNoBridge noBridge;
    CProcessResult r = Cli({"devices"});
    EXPECT_EQ(r.exitCode, 1);
#ifdef _WIN32
    // Windows gets the bridge driver from Windows Update, so a missing one is named.
    EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), "Not connected\n");
    EXPECT_NE(
        r.err.find("\nhint: if the box is plugged in, the CP210x USB-to-UART bridge driver may be missing"),
        std::string::npos);
#else
    EXPECT_EQ(r.err, "Not connected\n");
#endif
}

#ifndef _WIN32 // only the map directory can name a plain file as the port
TEST_F(CliDeviceTest, DevicesSaysWhenTheMappedPortIsNoSerialLine)
{
    CTempDir map;
    WriteFileBytes(map / "plain", Bytes(4, 0));
    std::filesystem::create_symlink(map / "plain", map / "Silabser0");
    CProcessResult r =
        RunProcess(CORVALIN_CLI_PATH, {"devices"}, {"CORVALIN_SERIAL_MAP=" + map.Path().string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Cannot find device\n");
}
#endif

#ifndef _WIN32 // Wine lets a second program open a COM port another one holds
TEST_F(CliDeviceTest, BusyPortGetsAHint)
{
    CSimulatedBox box;
    platform::CSerialPort holder;
    ASSERT_TRUE(holder.Open(box.Path(), {}));
    CProcessResult r = Cli({"devices"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.starts_with("Cannot find device\nhint: the port is in use by another program"))
        << r.err;

    r = Cli({"update", m_image.string(), "--port", box.Path()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Unable to open the device\nhint: the port is in use"), std::string::npos) << r.err;
}
#endif

#ifndef _WIN32 // the udev rule and the dialout group are Linux's
TEST_F(CliDeviceTest, PortWithoutPermissionGetsTheUdevHint)
{
    CSimulatedBox box;
    // Root opens any device node, so there the program runs as nobody, who may not
    // open root's terminal; any other user is kept from their own by its mode.
    std::vector<std::string> command = {CORVALIN_CLI_PATH};
    if (geteuid() == 0)
    {
        command = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", CORVALIN_CLI_PATH};
        const auto open = std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                          std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                          std::filesystem::perms::others_exec;
        for (const std::filesystem::path& dir : {m_dir.Path(), box.MapDir().parent_path()})
            std::filesystem::permissions(dir, open);
        std::filesystem::permissions(m_image, std::filesystem::perms::others_read,
                                     std::filesystem::perm_options::add);
        // A container may have no such user, or a checkout nobody cannot reach.
        std::vector<std::string> version(command.begin() + 1, command.end());
        version.push_back("--version");
        if (RunProcess(command.front(), version).exitCode != 0)
            GTEST_SKIP() << "corvalin-cli cannot be run as nobody here";
    }
    else
        ASSERT_EQ(chmod(box.Path().c_str(), 0), 0);
    auto run = [&](std::vector<std::string> args)
    {
        args.insert(args.begin(), command.begin() + 1, command.end());
        return RunProcess(command.front(), args, {"CORVALIN_SERIAL_MAP=" + box.MapDir().string()});
    };
    const std::string hint =
        "hint: " + platform::PortAccessHint(platform::ESerialError::Permission, "Permission denied") + "\n";
    for (const char* part :
         {"70-corvalin-cp210x.rules", "/etc/udev/rules.d", "udevadm trigger", "usermod -aG dialout"})
        EXPECT_NE(hint.find(part), std::string::npos) << part;

    CProcessResult r = run({"devices"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Cannot find device\n" + hint);

    r = run({"update", m_image.string(), "--port", box.Path()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.ends_with("Unable to open the device\n" + hint)) << r.err;
}
#endif

TEST_F(CliDeviceTest, UpdateThroughTheMapSendsTheImage)
{
    CSimulatedBox box;
    CProcessResult r = Cli({"update", m_image.string()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err,
              "Loading image\nImage loaded\nSend INIT\nStart XFER\nSend PREP\nSend CLOSE\nUpdate complete\n");
    Bytes body = MakeBody(m_spec.bodySize, m_spec.bodySeed);
    body.resize(6 * 512, 0);
    EXPECT_EQ(box.Record("body.bin"), body);
}

TEST_F(CliDeviceTest, UpdateOnANamedPortNeedsNoMap)
{
    CSimulatedBox box;
    CNoBridge noBridge;
    CProcessResult r = Cli({"update", m_image.string(), "--port", box.Path()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(box.LogOf("QUERY").empty());
    EXPECT_EQ(box.LogOf("CLOSE").size(), 1u);
}

TEST_F(CliDeviceTest, FailedUpdateExitsOneWithItsStatus)
{
    {
        CSimulatedBox box({"--xfer-fail", "2:9"});
        CProcessResult r = Cli({"update", m_image.string()});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.err.ends_with("Start XFER\nXFER Failed: 5\n")) << r.err;
    }
    {
        // Without a terminal the message is shown and taken as answered.
        CSimulatedBox box({"--prep-status", "1"});
        CProcessResult r = Cli({"update", m_image.string()});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.err.ends_with("Send PREP\nPREP Failed: 5\n"
                                    "Error: The image file is not compatible with the hardware\n"))
            << r.err;
    }
    {
        CSimulatedBox box;
        CProcessResult r = Cli({"update", (m_dir / "missing.img").string()});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(box.LogOf("INIT").empty());
    }
    CProcessResult r = Cli({"update"});
    EXPECT_EQ(r.exitCode, 2);
}

TEST_F(CliDeviceTest, UpdateLogAppendsOneRecordPerUpdate)
{
    const std::filesystem::path log = m_dir / "record.jsonl";
    const Bytes file = ReadFileBytes(m_image);
    {
        CSimulatedBox box({"--name", "SHOP", "--number", "42"});
        EXPECT_EQ(Cli({"update", m_image.string(), "--log", log.string()}).exitCode, 0);
        EXPECT_EQ(Cli({"update", m_image.string(), "--log", log.string()}).exitCode, 0);
        std::vector<nlohmann::json> lines = RecordLines(log);
        ASSERT_EQ(lines.size(), 2u);
        const nlohmann::json& line = lines[0];
        EXPECT_TRUE(std::regex_match(line["time"].get<std::string>(),
                                     std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)")))
            << line;
        EXPECT_EQ(line["port"], box.ShownName());
        EXPECT_EQ(line["box"], "SHOP");
        EXPECT_EQ(line["number"], 42);
        EXPECT_EQ(line["image"], m_image.string());
        EXPECT_TRUE(line["product"].is_null());
        EXPECT_EQ(line["sha256"], Sha256Hex(file.data(), file.size()));
        EXPECT_EQ(line["hardware"], "00010000");
        EXPECT_EQ(line["blocks"], 5);
        EXPECT_EQ(line["status"], "Update complete");
        EXPECT_EQ(line["success"], true);
        EXPECT_GT(line["seconds"].get<double>(), 0.0);
        EXPECT_EQ(lines[1]["status"], "Update complete");
    }
    {
        CSimulatedBox box({"--xfer-fail", "2:9"});
        EXPECT_EQ(Cli({"update", m_image.string(), "--log", log.string()}).exitCode, 1);
        std::vector<nlohmann::json> lines = RecordLines(log);
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines[2]["status"], "XFER Failed: 5");
        EXPECT_EQ(lines[2]["success"], false);
        EXPECT_EQ(lines[2]["box"], "BOX");
    }
    {
        // A record that cannot be written is said before any box is touched.
        CSimulatedBox box;
        // The reason is named: the folder that is missing, or a directory given as the file.
        const std::filesystem::path missingFolder = m_dir / "missing";
        const std::map<std::filesystem::path, std::string> reasons = {
            {missingFolder / "record.jsonl", " (the folder " + missingFolder.string() + " does not exist)\n"},
            {m_dir.Path(), ": is a directory\n"}};
        for (const auto& [bad, reason] : reasons)
        {
            for (const std::string command : {"update", "station"})
            {
                CProcessResult r = Cli({command, m_image.string(), "--log", bad.string()});
                EXPECT_EQ(r.exitCode, 1);
                EXPECT_TRUE(
                    r.err.starts_with("corvalin-cli: cannot write the update record " + bad.string() + ": "))
                    << r.err;
                EXPECT_TRUE(r.err.ends_with(reason)) << r.err;
            }
        }
        EXPECT_TRUE(box.Log().empty());
        EXPECT_FALSE(std::filesystem::exists(m_dir / "missing"));
    }
}

TEST_F(CliDeviceTest, FastTransferIsAnOptionThatGivesWayToLateBytes)
{
    CSimulatedBox box({"--tail", "1", "--tail-gap-ms", std::to_string(kSurelyLateGapMs)});
    CProcessResult r = Cli({"update", m_image.string(), "--fast"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err,
              "Loading image\nImage loaded\nSend INIT\nStart XFER\nLate reply bytes, fast transfer off\n"
              "Send PREP\nSend CLOSE\nUpdate complete\n");
    EXPECT_EQ(box.LogOf("XFER").size(), 6u);
}

#ifndef _WIN32 // the simulators share a map directory, which is Linux's map
TEST_F(CliDeviceTest, StationUpdatesEveryBoxWithTheChangedImageAndCountsTheFailures)
{
    CImageSpec imageSpec;
    imageSpec.params = {{0x30120001, 20}}; // CH0.Volume
    WriteFileBytes(m_image, BuildImageFile(imageSpec));
    const std::filesystem::path map = m_dir / "map";
    CSimulatedBox good({"--name", "GOOD", "--number", "7"}, map, 0);
    CSimulatedBox failing({"--xfer-fail", "2:9"}, map, 2);
    setenv("CORVALIN_SERIAL_MAP", map.c_str(), 1);
    const std::filesystem::path log = m_dir / "record.jsonl";
    CProcessResult r = Cli({"station", m_image.string(), "--count", "2", "--set", "CH0.Volume=25", "--fast",
                            "--log", log.string()});
    unsetenv("CORVALIN_SERIAL_MAP");

    // One record line per box; the digest is that of the changed image the boxes got.
    std::vector<nlohmann::json> lines = RecordLines(log);
    ASSERT_EQ(lines.size(), 2u);
    const nlohmann::json& goodLine = lines[0]["box"] == "GOOD" ? lines[0] : lines[1];
    const nlohmann::json& failedLine = lines[0]["box"] == "GOOD" ? lines[1] : lines[0];
    EXPECT_EQ(goodLine["port"], good.ShownName());
    EXPECT_EQ(goodLine["number"], 7);
    EXPECT_EQ(goodLine["success"], true);
    EXPECT_EQ(failedLine["status"], "XFER Failed: 5");
    EXPECT_EQ(failedLine["success"], false);
    // The box refused its block 2 (as it counts them, from 0); the record says which
    // settings the boxes got and is one chain.
    EXPECT_EQ(failedLine["failed_block"], 2);
    EXPECT_EQ(goodLine["failed_block"], nullptr);
    EXPECT_EQ(goodLine["assignments"], nlohmann::json::array({"CH0.Volume=25"}));
    EXPECT_EQ(goodLine["image_path"], std::filesystem::absolute(m_image).string());
    EXPECT_EQ(lines[0]["prev"], nullptr);
    EXPECT_EQ(RunProcess(CORVALIN_CLI_PATH, {"log", "--verify", log.string()}).exitCode, 0);
    ASSERT_EQ(
        Cli({"set", m_image.string(), "-o", (m_dir / "changed.img").string(), "CH0.Volume=25"}).exitCode, 0);
    const Bytes changed = ReadFileBytes(m_dir / "changed.img");
    EXPECT_EQ(goodLine["sha256"], Sha256Hex(changed.data(), changed.size()));

    EXPECT_EQ(r.exitCode, 1) << r.err;
    // One line per box on stdout, in the order they ended.
    EXPECT_NE(r.out.find(good.ShownName() + " | GOOD | 00000007: Update complete\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find(failing.ShownName() + " | BOX | 00001234: XFER Failed: 5\n"), std::string::npos)
        << r.out;
    // Without a terminal each text names the port and the box; the tally names the
    // failed box again, so that it can be updated again.
    EXPECT_NE(r.err.find(good.ShownName() + " | GOOD | 00000007: Send PREP\n"), std::string::npos) << r.err;
    EXPECT_TRUE(r.err.ends_with("station: failed " + failing.ShownName() +
                                " | BOX | 00001234: XFER Failed: 5\nstation: 1 updated, 1 failed\n"))
        << r.err;
    EXPECT_EQ(ReadLe32(&good.Record("prep.bin")[320]), 25u);

    EXPECT_EQ(Cli({"station", m_image.string(), "--count", "0"}).exitCode, 2);
    EXPECT_EQ(Cli({"station", m_image.string(), "--set", "CH0.Volume"}).exitCode, 2);
}
#endif

#ifndef _WIN32 // POSIX signals; the Wine COM port harness sends Ctrl-C to corvalin-cli.exe
TEST_F(CliDeviceTest, InterruptEndsTheProbeOfASilentBox)
{
    // With the box's own time-outs the probe of a silent box takes about 20 s.
    CSimulatedBox box({"--silent"});
    std::string cli = CORVALIN_CLI_PATH, command = "update", image = m_image.string();
    char* argv[] = {cli.data(), command.data(), image.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, cli.c_str(), &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ASSERT_TRUE(WaitUntil([&] { return !box.LogOf("QUERY").empty(); }, 10));
    kill(pid, SIGINT);
    int status = 0;
    // A guard far below the probe's 20 s.
    const bool ended = WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 5);
    if (!ended)
    {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    EXPECT_TRUE(ended);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
}
#endif

#ifndef _WIN32 // POSIX signals and a map directory the simulators share
namespace
{

// corvalin-cli started in the background with stdout and stderr in files and the map
// directory `map`; the test ends it with a signal or waits for it.
class CBackgroundCli
{
  public:
    CBackgroundCli(std::vector<std::string> args, const std::filesystem::path& map,
                   const std::filesystem::path& dir)
        : m_out(dir / "out.txt"), m_err(dir / "err.txt")
    {
        args.insert(args.begin(), CORVALIN_CLI_PATH);
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        std::vector<std::string> env = {"CORVALIN_SERIAL_MAP=" + map.string(), "PATH=/usr/bin:/bin"};
        std::vector<char*> envp;
        for (std::string& entry : env)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, m_out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, m_err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
    }
    ~CBackgroundCli()
    {
        if (m_pid > 0 && waitpid(m_pid, &m_nStatus, WNOHANG) == 0)
        {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &m_nStatus, 0);
        }
    }
    // The exit code once it ends within `seconds`, else -1.
    int Wait(int seconds)
    {
        if (!WaitUntil([&] { return waitpid(m_pid, &m_nStatus, WNOHANG) == m_pid; }, seconds))
            return -1;
        m_pid = 0;
        return WIFEXITED(m_nStatus) ? WEXITSTATUS(m_nStatus) : -1;
    }
    void Interrupt() { kill(m_pid, SIGINT); }
    std::string Out() const { return ReadText(m_out); }
    std::string Err() const { return ReadText(m_err); }

  private:
    static std::string ReadText(const std::filesystem::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::filesystem::path m_out;
    std::filesystem::path m_err;
    pid_t m_pid = 0;
    int m_nStatus = 0;
};

} // namespace

TEST_F(CliDeviceTest, StationStopIsAResultInTheRecordAndTheTally)
{
    const std::filesystem::path map = m_dir / "map";
    CSimulatedBox flashing({"--name", "SLOW", "--number", "5", "--flash-ms", "300"}, map, 0);
    CSimulatedBox silent({"--silent"}, map, 1);
    const std::filesystem::path log = m_dir / "record.jsonl";
    CBackgroundCli cli({"station", m_image.string(), "--log", log.string(), "--operator", "Ann"}, map,
                       m_dir.Path());
    ASSERT_TRUE(
        WaitUntil([&] { return flashing.LogOf("XFER").size() >= 2 && !silent.LogOf("QUERY").empty(); }, 20))
        << cli.Err();
    cli.Interrupt();
    ASSERT_EQ(cli.Wait(5), 1) << cli.Err();

    // The transfer cut short and the probe cut short are both stops, never failures.
    std::vector<nlohmann::json> lines = RecordLines(log);
    ASSERT_EQ(lines.size(), 2u);
    const nlohmann::json& cut = lines[0]["box"] == "SLOW" ? lines[0] : lines[1];
    const nlohmann::json& asked = lines[0]["box"] == "SLOW" ? lines[1] : lines[0];
    EXPECT_TRUE(std::string(cut["status"]).starts_with("Stopped at block ")) << cut;
    EXPECT_EQ(cut["stopped"], true);
    EXPECT_EQ(cut["operator"], "Ann");
    EXPECT_FALSE(cut["start"].is_null());
    EXPECT_EQ(asked["status"], "Stopped before the update started");
    EXPECT_EQ(asked["stopped"], true);
    const std::string err = cli.Err();
    EXPECT_NE(err.find("station: stopped " + flashing.ShownName() + " | SLOW | 00000005: Stopped at block "),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("station: stopped " + silent.ShownName() + ": Stopped before the update started\n"),
              std::string::npos)
        << err;
    EXPECT_TRUE(err.ends_with("station: 0 updated, 0 failed, 2 stopped (interrupted)\n")) << err;
}

TEST_F(CliDeviceTest, StationKeepsARecordLineItCannotWriteAndSaysTheRecordHasGone)
{
    const std::filesystem::path map = m_dir / "map";
    const std::filesystem::path folder = m_dir / "records";
    std::filesystem::create_directory(folder);
    const std::filesystem::path log = folder / "record.jsonl";
    CSimulatedBox quick({"--name", "QUICK", "--number", "1"}, map, 0);
    CSimulatedBox slow({"--name", "SLOW", "--number", "2", "--flash-ms", "250"}, map, 1);
    CBackgroundCli cli({"station", m_image.string(), "--count", "2", "--log", log.string()}, map,
                       m_dir.Path());
    ASSERT_TRUE(WaitUntil([&] { return RecordLines(log).size() == 1; }, 20)) << cli.Err();
    std::filesystem::remove_all(folder);
    ASSERT_EQ(cli.Wait(20), 1) << cli.Err();

    // The missing line is on stderr whole, ready to be added by hand, and counted.
    const std::string err = cli.Err();
    EXPECT_NE(err.find("the update record " + log.string() + " has gone"), std::string::npos) << err;
    const std::size_t kept = err.find("tried again:\n");
    ASSERT_NE(kept, std::string::npos) << err;
    const std::string line = err.substr(kept + 13, err.find('\n', kept + 13) - kept - 13);
    CUpdateRecord record;
    ASSERT_TRUE(ParseRecordLine(line, record)) << line;
    EXPECT_EQ(record.m_strBox, "SLOW");
    EXPECT_TRUE(record.m_bSuccess);
    EXPECT_TRUE(err.ends_with("station: 2 updated, 0 failed, 1 missing from the update record\n")) << err;
}

TEST_F(CliDeviceTest, StationOnATerminalShowsAFailureInRedUnlessNoColourIsAsked)
{
    const std::filesystem::path map = m_dir / "map";
    CSimulatedBox failing({"--xfer-fail", "2:9"}, map, 0);
    CSimulatedBox slow({"--flash-ms", "200"}, map, 1);
    // script(1) gives the station a terminal; what it shows lands in its output. The
    // slow box keeps the live view up after the other has failed.
    const std::string station =
        std::string(CORVALIN_CLI_PATH) + " station " + m_image.string() + " --count 2";
    for (const bool colour : {true, false})
    {
        std::vector<std::string> env = {"CORVALIN_SERIAL_MAP=" + map.string()};
        if (!colour)
            env.push_back("NO_COLOR=1");
        CProcessResult r = RunProcess("/usr/bin/script", {"-qec", station, "/dev/null"}, env);
        EXPECT_EQ(r.exitCode, 1) << r.out;
        EXPECT_NE(r.out.find(colour ? "\033[31mFAILED\033[0m XFER Failed: 5" : "FAILED XFER Failed: 5"),
                  std::string::npos)
            << r.out;
        EXPECT_EQ(r.out.find("\033[31m") != std::string::npos, colour) << r.out;
        EXPECT_NE(r.out.find("updated 0, failed 1, in progress 1"), std::string::npos) << r.out;
    }
}
#endif

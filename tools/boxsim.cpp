// corvalin-boxsim: a simulated interface box on a pseudo-terminal, answering as the
// box's boot loader does. It is the test fixture of the device link and a stand-in
// for the box in the demo and the benchmarks.
//
// It prints the pseudo-terminal's path on the first line of stdout and serves until
// it is terminated (or, with --hangup-at, until it hangs up). With --map-dir DIR it
// also publishes the port as DIR/Silabser0 (or DIR/NAME with --map-name NAME, so
// several simulators make several bridges), the serial-port map that
// CORVALIN_SERIAL_MAP points the tool at. With --link PATH it makes PATH a symbolic
// link to the terminal while it runs (a Wine COM port is such a link). With
// --while-file PATH it ends once PATH is gone, for a starter that cannot signal it.
//
// Wire format, both directions: AA 55, L (u16 LE, the bytes that follow), command or
// reply code, payload. QUERY 00 -> device record; INIT 02 -> 03 status; XFER 04,
// PREP 06, CLOSE 07 -> 05 status.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

constexpr uint8_t kQuery = 0x00, kInit = 0x02, kXfer = 0x04, kPrep = 0x06, kClose = 0x07;
constexpr std::size_t kRecordSize = 520;
constexpr std::size_t kBlockSize = 512;

struct COptions
{
    std::string strMapDir;
    std::string strMapName = "Silabser0"; // the map entry: "Silabser<i>" is the i-th bridge
    std::string strRecordDir;
    uint32_t nMark = 0xABADCAFEu;
    std::string strName = "BOX";
    int32_t nNumber = 1234;
    int nQueryBytes = -1; // reply to QUERY cut to this many bytes
    bool bSilent = false;
    int nSilentInits = 0;
    int nRestarts = 0;
    std::string strInitScript; // per INIT: s silent, r restart, o ready; then ready
    int nXferFailBlock = -1;
    int nXferFailStatus = 0;
    int nPrepStatus = 0;
    int nCloseStatus = 0;
    int nStrayBytes = 0;
    int nStrayGapMs = 150;
    bool bQueryAfterReopen = false;
    int nHangupBlock = -1;
    int nSlowMs = 0;
    int nBaud = 0; // 0: no line pacing
    int nFlashMs = 0;
    int nWrongCodeFor = -1; // command whose reply carries a wrong reply code
    int nJunkFor = -1;      // command answered by junk only
    int nJunkGapMs = 150;
    bool bLieLength = false; // replies announce more bytes than they carry
    int nTailBytes = 0;      // bytes sent after every reply frame
    int nTailGapMs = 2;
    Bytes strayBytes; // --stray-hex: the stray bytes' content
    int nCutFor = -1; // command whose reply frame is cut short
    int nCutBytes = 0;
    int nQueryLength = -1;        // length field of the QUERY reply, when set
    int nSplitMs = 0;             // pause after each reply's 5-byte frame header
    bool bDeaf = false;           // never reads the line
    bool bExitWithParent = false; // for test harnesses that may die without cleaning up
    std::string strLink;          // a symbolic link to the terminal while it runs
    std::string strWhileFile;     // serves only while this file exists
};

volatile std::sig_atomic_t g_bTerminate = 0;

void OnTerminate(int)
{
    g_bTerminate = 1;
}

[[noreturn]] void Usage(const char* message)
{
    std::fprintf(
        stderr,
        "corvalin-boxsim: %s\n"
        "usage: corvalin-boxsim [--map-dir DIR [--map-name Silabser<i>]] [--record DIR]\n"
        "  record:     [--mark configured|empty|erased|HEX] [--name TEXT] [--number N] [--query-bytes N]\n"
        "  scenarios:  [--silent] [--silent-inits N] [--restarts N] [--init-script sro...]\n"
        "              [--xfer-fail BLOCK:STATUS]\n"
        "              [--prep-status S] [--close-status S] [--stray N] [--stray-gap-ms MS]\n"
        "              [--query-after-reopen] [--hangup-at BLOCK] [--slow-ms MS]\n"
        "              [--wrong-code init|xfer|prep|close] [--junk init|xfer|prep|close] [--junk-gap-ms MS]\n"
        "              [--lie-length] [--tail N] [--tail-gap-ms MS] [--stray-hex HEX]\n"
        "              [--cut init|xfer|prep|close:N] [--query-length L] [--split-ms MS] [--deaf]\n"
        "  line:       [--baud RATE] [--flash-ms MS]\n"
        "  harness:    [--exit-with-parent] [--link PATH] [--while-file PATH]\n",
        message);
    std::exit(2);
}

long ParseNumber(const std::string& text, int base = 10)
{
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text.c_str(), &end, base);
    if (text.empty() || *end != '\0' || errno != 0)
        Usage(("bad number: " + text).c_str());
    return value;
}

int ParseCommand(const std::string& text)
{
    if (text == "init")
        return kInit;
    if (text == "xfer")
        return kXfer;
    if (text == "prep")
        return kPrep;
    if (text == "close")
        return kClose;
    if (text == "query")
        return kQuery;
    Usage(("unknown command: " + text).c_str());
}

COptions ParseOptions(int argc, char** argv)
{
    COptions o;
    for (int i = 1; i < argc; ++i)
    {
        std::string a = argv[i];
        auto value = [&]() -> std::string
        {
            if (i + 1 >= argc)
                Usage((a + " needs a value").c_str());
            return argv[++i];
        };
        if (a == "--map-dir")
            o.strMapDir = value();
        else if (a == "--map-name")
        {
            o.strMapName = value();
            if (o.strMapName.empty() || o.strMapName.find('/') != std::string::npos)
                Usage("--map-name takes a file name such as Silabser3");
        }
        else if (a == "--record")
            o.strRecordDir = value();
        else if (a == "--mark")
        {
            std::string m = value();
            if (m == "configured")
                o.nMark = 0xABADCAFEu;
            else if (m == "empty")
                o.nMark = 0xABADF00Du;
            else if (m == "erased")
                o.nMark = 0xFFFFFFFFu;
            else
                o.nMark = uint32_t(std::strtoul(m.c_str(), nullptr, 16));
        }
        else if (a == "--name")
            o.strName = value();
        else if (a == "--number")
            o.nNumber = int32_t(ParseNumber(value()));
        else if (a == "--query-bytes")
            o.nQueryBytes = int(ParseNumber(value()));
        else if (a == "--silent")
            o.bSilent = true;
        else if (a == "--silent-inits")
            o.nSilentInits = int(ParseNumber(value()));
        else if (a == "--restarts")
            o.nRestarts = int(ParseNumber(value()));
        else if (a == "--init-script")
        {
            o.strInitScript = value();
            if (o.strInitScript.find_first_not_of("sro") != std::string::npos)
                Usage("--init-script takes letters s (silent), r (restart), o (ready)");
        }
        else if (a == "--xfer-fail")
        {
            std::string v = value();
            std::size_t colon = v.find(':');
            if (colon == std::string::npos)
                Usage("--xfer-fail takes BLOCK:STATUS");
            o.nXferFailBlock = int(ParseNumber(v.substr(0, colon)));
            o.nXferFailStatus = int(ParseNumber(v.substr(colon + 1)));
        }
        else if (a == "--prep-status")
            o.nPrepStatus = int(ParseNumber(value()));
        else if (a == "--close-status")
            o.nCloseStatus = int(ParseNumber(value()));
        else if (a == "--stray")
            o.nStrayBytes = int(ParseNumber(value()));
        else if (a == "--stray-gap-ms")
            o.nStrayGapMs = int(ParseNumber(value()));
        else if (a == "--query-after-reopen")
            o.bQueryAfterReopen = true;
        else if (a == "--hangup-at")
            o.nHangupBlock = int(ParseNumber(value()));
        else if (a == "--slow-ms")
            o.nSlowMs = int(ParseNumber(value()));
        else if (a == "--baud")
            o.nBaud = int(ParseNumber(value()));
        else if (a == "--flash-ms")
            o.nFlashMs = int(ParseNumber(value()));
        else if (a == "--wrong-code")
            o.nWrongCodeFor = ParseCommand(value());
        else if (a == "--junk")
            o.nJunkFor = ParseCommand(value());
        else if (a == "--lie-length")
            o.bLieLength = true;
        else if (a == "--tail")
            o.nTailBytes = int(ParseNumber(value()));
        else if (a == "--tail-gap-ms")
            o.nTailGapMs = int(ParseNumber(value()));
        else if (a == "--stray-hex")
        {
            std::string hex = value();
            if (hex.empty() || hex.size() % 2 != 0)
                Usage("--stray-hex takes an even number of hex digits");
            o.strayBytes.clear();
            for (std::size_t at = 0; at < hex.size(); at += 2)
                o.strayBytes.push_back(uint8_t(ParseNumber(hex.substr(at, 2), 16)));
            o.nStrayBytes = int(o.strayBytes.size());
        }
        else if (a == "--cut")
        {
            std::string v = value();
            std::size_t colon = v.find(':');
            if (colon == std::string::npos)
                Usage("--cut takes COMMAND:BYTES");
            o.nCutFor = ParseCommand(v.substr(0, colon));
            o.nCutBytes = int(ParseNumber(v.substr(colon + 1)));
        }
        else if (a == "--query-length")
            o.nQueryLength = int(ParseNumber(value()));
        else if (a == "--split-ms")
            o.nSplitMs = int(ParseNumber(value()));
        else if (a == "--deaf")
            o.bDeaf = true;
        else if (a == "--exit-with-parent")
            o.bExitWithParent = true;
        else if (a == "--link")
            o.strLink = value();
        else if (a == "--while-file")
            o.strWhileFile = value();
        else if (a == "--junk-gap-ms")
            o.nJunkGapMs = int(ParseNumber(value()));
        else
            Usage(("unknown option: " + a).c_str());
    }
    return o;
}

class CBox
{
  public:
    CBox(const COptions& options, int master) : m_o(options), m_nMaster(master) {}

    bool OpenRecords()
    {
        if (m_o.strRecordDir.empty())
            return true;
        fs::path dir = m_o.strRecordDir;
        std::error_code error;
        fs::create_directories(dir, error);
        m_pRaw = std::fopen((dir / "rx.bin").c_str(), "wb");
        m_pLog = std::fopen((dir / "log.txt").c_str(), "w");
        m_pBody = std::fopen((dir / "body.bin").c_str(), "wb");
        m_strPrepPath = (dir / "prep.bin").string();
        return m_pRaw && m_pLog && m_pBody;
    }

    // Takes bytes from the line; false once the box has hung up.
    bool Receive(const uint8_t* data, std::size_t count)
    {
        Clock::time_point now = Clock::now();
        if (m_o.nBaud > 0)
            m_rxLineEnd = std::max(now, m_rxLineEnd) + LineTime(count);
        if (m_pRaw)
        {
            std::fwrite(data, 1, count, m_pRaw);
            std::fflush(m_pRaw);
        }
        m_pending.insert(m_pending.end(), data, data + count);
        for (;;)
        {
            // Bytes before a frame start belong to no command.
            std::size_t start = 0;
            while (start + 1 < m_pending.size() &&
                   !(m_pending[start] == 0xAA && m_pending[start + 1] == 0x55))
                ++start;
            if (start > 0)
                m_pending.erase(m_pending.begin(), m_pending.begin() + long(start));
            if (m_pending.size() < 4)
                return true;
            std::size_t length = 4 + std::size_t(m_pending[2] | m_pending[3] << 8);
            if (m_pending.size() < length)
                return true;
            Bytes frame(m_pending.begin(), m_pending.begin() + long(length));
            m_pending.erase(m_pending.begin(), m_pending.begin() + long(length));
            if (length >= 5 && !Handle(frame))
                return false;
        }
    }

  private:
    Clock::duration LineTime(std::size_t bytes) const
    {
        // 8N1: ten bits per byte.
        return std::chrono::nanoseconds(int64_t(bytes) * 10 * 1000000000LL / m_o.nBaud);
    }

    void Log(const char* format, ...) __attribute__((format(printf, 2, 3)))
    {
        if (!m_pLog)
            return;
        va_list args;
        va_start(args, format);
        std::vfprintf(m_pLog, format, args);
        va_end(args);
        std::fputc('\n', m_pLog);
        std::fflush(m_pLog);
    }

    void WriteAll(const Bytes& bytes)
    {
        std::size_t done = 0;
        while (done < bytes.size())
        {
            ssize_t put = ::write(m_nMaster, bytes.data() + done, bytes.size() - done);
            if (put > 0)
                done += std::size_t(put);
            else if (put < 0 && errno != EINTR && errno != EAGAIN)
                return;
            else if (put < 0 && errno == EAGAIN)
            {
                pollfd entry{m_nMaster, POLLOUT, 0};
                ::poll(&entry, 1, 100);
            }
        }
    }

    static Bytes Frame(uint8_t code, const Bytes& payload)
    {
        Bytes frame{0xAA, 0x55, uint8_t((payload.size() + 1) & 0xFF), uint8_t((payload.size() + 1) >> 8),
                    code};
        frame.insert(frame.end(), payload.begin(), payload.end());
        return frame;
    }

    void Reply(uint8_t command, Bytes frame)
    {
        if (m_o.nWrongCodeFor == command)
            frame[4] = frame[4] == 0x03 ? 0x05 : 0x03;
        if (m_o.bLieLength)
            frame[3] = uint8_t(frame[3] + 2);
        if (m_o.nBaud > 0)
            std::this_thread::sleep_until(m_rxLineEnd);
        if (m_o.nSlowMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(m_o.nSlowMs));
        if (m_o.nJunkFor == command)
        {
            // Pieces that never start with AA 55, each read on its own.
            for (int i = 0; i < 12; ++i)
            {
                WriteAll({0x55, 0xAA, 0x02, 0x00, 0x05, 0x00});
                std::this_thread::sleep_for(std::chrono::milliseconds(m_o.nJunkGapMs));
            }
            return;
        }
        if (m_o.nStrayBytes > 0)
        {
            Bytes stray = m_o.strayBytes;
            for (int i = int(stray.size()); i < m_o.nStrayBytes; ++i)
                stray.push_back(uint8_t(0x11 * (i + 1)));
            WriteAll(stray);
            std::this_thread::sleep_for(std::chrono::milliseconds(m_o.nStrayGapMs));
        }
        if (m_o.nCutFor == command && std::size_t(m_o.nCutBytes) < frame.size())
            frame.resize(std::size_t(m_o.nCutBytes));
        if (m_o.nBaud > 0)
            std::this_thread::sleep_for(LineTime(frame.size()));
        if (m_o.nSplitMs > 0 && frame.size() > 5)
        {
            // The header first, the rest after a pause, as a box that stalls mid-frame.
            WriteAll(Bytes(frame.begin(), frame.begin() + 5));
            std::this_thread::sleep_for(std::chrono::milliseconds(m_o.nSplitMs));
            frame.erase(frame.begin(), frame.begin() + 5);
        }
        WriteAll(frame);
        if (m_o.nTailBytes > 0)
        {
            // Bytes after the frame, a moment later, as a box might send a filler.
            std::this_thread::sleep_for(std::chrono::milliseconds(m_o.nTailGapMs));
            WriteAll(Bytes(std::size_t(m_o.nTailBytes), 0x00));
        }
    }

    Bytes DeviceRecord() const
    {
        Bytes record(kRecordSize, 0);
        auto put32 = [&](std::size_t at, uint32_t v)
        {
            for (int i = 0; i < 4; ++i)
                record[at + std::size_t(i)] = uint8_t(v >> (8 * i));
        };
        put32(0, m_o.nMark);
        std::memcpy(&record[8], m_o.strName.data(), std::min<std::size_t>(m_o.strName.size(), 35));
        put32(44, uint32_t(m_o.nNumber));
        return record;
    }

    // Answers one frame; false when the box hangs up.
    bool Handle(const Bytes& f)
    {
        const uint8_t command = f[4];
        auto status = [](int s) { return Bytes{uint8_t(s)}; };
        switch (command)
        {
        case kQuery:
        {
            ++m_nQueries;
            Log("QUERY");
            if (m_o.bSilent || (m_o.bQueryAfterReopen && m_nQueries == 1))
                return true;
            Bytes reply = Frame(0x01, DeviceRecord());
            if (m_o.nQueryLength >= 0)
            {
                reply[2] = uint8_t(m_o.nQueryLength & 0xFF);
                reply[3] = uint8_t(m_o.nQueryLength >> 8);
            }
            if (m_o.nQueryBytes >= 0 && std::size_t(m_o.nQueryBytes) < reply.size())
                reply.resize(std::size_t(m_o.nQueryBytes));
            Reply(command, reply);
            return true;
        }
        case kInit:
        {
            ++m_nInits;
            uint32_t hardware =
                f.size() >= 9 ? uint32_t(f[5] | f[6] << 8 | f[7] << 16 | uint32_t(f[8]) << 24) : 0;
            unsigned blocks = f.size() >= 11 ? unsigned(f[9] | f[10] << 8) : 0;
            Log("INIT %08X %u", hardware, blocks);
            if (std::size_t(m_nInits) <= m_o.strInitScript.size())
            {
                char step = m_o.strInitScript[std::size_t(m_nInits) - 1];
                if (step != 's')
                    Reply(command, Frame(0x03, status(step == 'r' ? 1 : 0)));
                return true;
            }
            if (m_o.bSilent || m_nInits <= m_o.nSilentInits)
                return true;
            int restartsSoFar = m_nInits - m_o.nSilentInits;
            Reply(command, Frame(0x03, status(restartsSoFar <= m_o.nRestarts ? 1 : 0)));
            return true;
        }
        case kXfer:
        {
            int block = f.size() >= 7 ? f[5] | f[6] << 8 : -1;
            Log("XFER %d", block);
            if (block == m_o.nHangupBlock)
                return false;
            if (m_pBody && block >= 0 && f.size() >= 7 + kBlockSize)
            {
                std::fseek(m_pBody, long(block) * long(kBlockSize), SEEK_SET);
                std::fwrite(&f[7], 1, kBlockSize, m_pBody);
                std::fflush(m_pBody);
            }
            if (m_o.bSilent)
                return true;
            if (m_o.nFlashMs > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(m_o.nFlashMs));
            Reply(command, Frame(0x05, status(block == m_o.nXferFailBlock ? m_o.nXferFailStatus : 0)));
            return true;
        }
        case kPrep:
        {
            Log("PREP %zu", f.size() - 5);
            if (!m_strPrepPath.empty())
            {
                if (std::FILE* out = std::fopen(m_strPrepPath.c_str(), "wb"))
                {
                    std::fwrite(&f[5], 1, f.size() - 5, out);
                    std::fclose(out);
                }
            }
            if (m_o.bSilent)
                return true;
            Reply(command, Frame(0x05, status(m_o.nPrepStatus)));
            return true;
        }
        case kClose:
            Log("CLOSE");
            if (m_o.bSilent)
                return true;
            Reply(command, Frame(0x05, status(m_o.nCloseStatus)));
            return true;
        default:
            Log("UNKNOWN %02X", command);
            return true;
        }
    }

    const COptions& m_o;
    int m_nMaster;
    Bytes m_pending;
    Clock::time_point m_rxLineEnd{};
    int m_nQueries = 0;
    int m_nInits = 0;
    std::FILE* m_pRaw = nullptr;
    std::FILE* m_pLog = nullptr;
    std::FILE* m_pBody = nullptr;
    std::string m_strPrepPath;
};

} // namespace

int main(int argc, char** argv)
{
    COptions options = ParseOptions(argc, argv);

    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
    {
        std::perror("corvalin-boxsim: pseudo-terminal");
        return 1;
    }
    const char* slaveName = ptsname(master);
    if (!slaveName)
    {
        std::perror("corvalin-boxsim: ptsname");
        return 1;
    }
    std::string slavePath = slaveName;

    // Holding the slave side open keeps the master readable while the tool closes and
    // reopens its port, as a USB bridge stays present between openings. Raw, so the
    // line carries bytes unchanged.
    int slave = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY);
    if (slave < 0)
    {
        std::perror("corvalin-boxsim: slave");
        return 1;
    }
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);

    if (!options.strMapDir.empty())
    {
        std::error_code error;
        fs::path dir = options.strMapDir;
        fs::create_directories(dir, error);
        fs::remove(dir / options.strMapName, error);
        fs::create_symlink(slavePath, dir / options.strMapName, error);
        if (error)
        {
            std::fprintf(stderr, "corvalin-boxsim: cannot publish %s: %s\n",
                         (dir / options.strMapName).c_str(), error.message().c_str());
            return 1;
        }
    }

    if (!options.strLink.empty())
    {
        std::error_code error;
        fs::remove(options.strLink, error);
        fs::create_symlink(slavePath, options.strLink, error);
        if (error)
        {
            std::fprintf(stderr, "corvalin-boxsim: cannot link %s: %s\n", options.strLink.c_str(),
                         error.message().c_str());
            return 1;
        }
    }
    // The map entry and the link go with the terminal, however the simulator ends, unless
    // someone else has replaced them meanwhile. A stale entry would name a terminal number
    // that the system soon gives to another program, which would then look like a bridge.
    auto removeLinks = [&]
    {
        for (const fs::path& link :
             {options.strMapDir.empty() ? fs::path() : fs::path(options.strMapDir) / options.strMapName,
              fs::path(options.strLink)})
        {
            std::error_code error;
            if (!link.empty() && fs::read_symlink(link, error) == slavePath)
                fs::remove(link, error);
        }
    };

    CBox box(options, master);
    if (!box.OpenRecords())
    {
        std::fprintf(stderr, "corvalin-boxsim: cannot write records to %s\n", options.strRecordDir.c_str());
        return 1;
    }

    struct sigaction action
    {
    };
    action.sa_handler = OnTerminate;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::printf("%s\n", slavePath.c_str());
    std::fflush(stdout);

    const pid_t parent = getppid();
    uint8_t buffer[4096];
    while (!g_bTerminate)
    {
        if (options.bExitWithParent && getppid() != parent)
            break;
        std::error_code error;
        if (!options.strWhileFile.empty() && !fs::exists(options.strWhileFile, error))
            break;
        if (options.bDeaf)
        {
            // What the tool writes piles up until the line takes no more.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            continue;
        }
        pollfd entry{master, POLLIN, 0};
        int ready = ::poll(&entry, 1, 100);
        if (ready <= 0)
            continue;
        ssize_t got = ::read(master, buffer, sizeof buffer);
        if (got > 0)
        {
            if (!box.Receive(buffer, std::size_t(got)))
            {
                // The cable is pulled: the port goes away under the tool.
                ::close(slave);
                ::close(master);
                removeLinks();
                return 0;
            }
        }
        else if (got < 0 && errno != EINTR && errno != EAGAIN)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::close(slave);
    ::close(master);
    removeLinks();
    return 0;
}

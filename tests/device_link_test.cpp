// The device link against corvalin-boxsim over a real pseudo-terminal (on Windows a Wine
// COM port linked to it): the serial port, the serial-port map, discovery, and the
// boot loader exchanges byte for byte.

#include "DeviceTestSupport.h"

#include "device/BootLoaderLink.h"
#include "platform/DeviceHints.h"
#include "platform/SerialPort.h"
#include "platform/SerialPortMap.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <future>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif

using namespace corvalin;
using namespace corvalin::fixtures;
using namespace corvalin::testing;

namespace
{

// An updater that has found the simulated box and holds an image, ready for
// exchanges on the worker's side of the link.
class DeviceLinkTest : public ::testing::Test
{
  protected:
    void Attach(CUpdater& updater) { updater.AttachControls(&m_controls, &m_controls, &m_controls); }

    void LoadImage(CUpdater& updater, const CImageSpec& imageSpec)
    {
        Bytes file = BuildImageFile(imageSpec);
        ASSERT_EQ(updater.LoadImageBuffer(file.data(), file.size()), 1);
    }

    CRecordingControls m_controls;
};

// The boot loader link over the simulated box's port, as the worker holds it, with an
// image to send.
struct CTestLink
{
    CTestLink(const std::string& path, const CLinkTiming& timing, const CImageSpec& imageSpec = CImageSpec{})
        : port(timing), link(port.Bytes(), timing, stop)
    {
        port.SetPath(path);
        const Bytes file = BuildImageFile(imageSpec);
        image.LoadBuffer(file.data(), file.size(), [](const std::string&) {});
    }
    EExchangeResult Init() { return link.Init(GetHardwareCode(image.Header()), image.Blocks()); }
    EExchangeResult Xfer() { return link.Xfer(image.Body(), image.BodySize()); }

    CBoxPort port;
    std::atomic<bool> stop{false};
    CBootLoaderLink link;
    CFirmwareImage image;
};

const std::atomic<bool> kNoStop{false};

std::string Hex(const Bytes& bytes, std::size_t from, std::size_t count)
{
    std::string text;
    char part[4];
    for (std::size_t i = from; i < from + count && i < bytes.size(); ++i)
    {
        std::snprintf(part, sizeof part, i + 1 < from + count ? "%02X " : "%02X", bytes[i]);
        text += part;
    }
    return text;
}

} // namespace

// --- Pure helpers ---

TEST(SerialPortNames, ComNumberIsTheDecimalAfterCom)
{
    EXPECT_EQ(platform::ParseComPortNumber("COM12"), 12);
    EXPECT_EQ(platform::ParseComPortNumber("COM1"), 1);
    EXPECT_EQ(platform::ParseComPortNumber("COM7x"), 7); // digits end the number, as atoi reads it
    EXPECT_EQ(platform::ParseComPortNumber("COM"), std::nullopt);
    EXPECT_EQ(platform::ParseComPortNumber("COMx"), std::nullopt);
    EXPECT_EQ(platform::ParseComPortNumber("LPT1"), std::nullopt);
    EXPECT_EQ(platform::ParseComPortNumber("com3"), std::nullopt);
    EXPECT_EQ(platform::ParseComPortNumber("COM99999999999"), std::nullopt);
}

TEST(SerialPortNames, FrameIsCompleteOnlyWithAllItsAnnouncedBytes)
{
    const uint8_t reply[] = {0xAA, 0x55, 0x02, 0x00, 0x05, 0x00, 0x77};
    EXPECT_EQ(CompleteFrameLength(reply, 5), 0u);
    EXPECT_EQ(CompleteFrameLength(reply, 6), 6u);
    EXPECT_EQ(CompleteFrameLength(reply, 7), 6u);
    const uint8_t stray[] = {0x11, 0xAA, 0x55, 0x02, 0x00, 0x05, 0x00};
    EXPECT_EQ(CompleteFrameLength(stray, sizeof stray), 0u);
    const uint8_t empty[] = {0xAA, 0x55, 0x00, 0x00};
    EXPECT_EQ(CompleteFrameLength(empty, 4), 4u);
}

TEST(DateStamp, LocalDateIsPackedAsBcd)
{
    EXPECT_EQ(DateToBcd({2011, 5, 6}), 0x20110506u);
    EXPECT_EQ(DateToBcd({1999, 12, 31}), 0x19991231u);
}

TEST(ConfigRecord, DateIsAddedAtTheFirstTerminator)
{
    CImageSpec imageSpec;
    for (uint32_t i = 0; i < 10; ++i)
        imageSpec.params.push_back({0x10000000u + i, 100 + i});
    Bytes header = MakeHeader(imageSpec);
    ImageHeader h;
    std::copy(header.begin(), header.end(), h.begin());

    std::vector<uint8_t> record = BuildConfigRecord(h, 0x20110506u);
    ASSERT_EQ(record.size(), 520u);
    EXPECT_EQ(ReadLe32(&record[0]), 0xABADCAFEu);
    EXPECT_EQ(ReadLe32(&record[4]), 0x00010000u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&record[8])), "TEST IMAGE");
    for (std::size_t i = 8 + 10; i < 120; ++i)
        EXPECT_EQ(record[i], 0) << "name field byte " << i;
    for (int i = 0; i < 10; ++i)
    {
        EXPECT_EQ(ReadLe32(&record[120 + 4 * i]), 0x10000000u + i);
        EXPECT_EQ(ReadLe32(&record[320 + 4 * i]), 100u + i);
    }
    EXPECT_EQ(ReadLe32(&record[120 + 40]), 4u);
    EXPECT_EQ(ReadLe32(&record[320 + 40]), 0x20110506u);
    EXPECT_EQ(ReadLe32(&record[120 + 44]), 0xFFFFFFFFu);
    for (int i = 12; i < 50; ++i)
        EXPECT_EQ(ReadLe32(&record[120 + 4 * i]), 0u) << "slot " << i;
}

TEST(ConfigRecord, NoDateWhenTheTerminatorIsInTheLastSlotOrMissing)
{
    CImageSpec imageSpec;
    for (uint32_t i = 0; i < 49; ++i)
        imageSpec.params.push_back({0x10000000u + i, i});
    Bytes header = MakeHeader(imageSpec); // terminator at slot 49
    ImageHeader h;
    std::copy(header.begin(), header.end(), h.begin());
    SetParamValue(h, 49, 0x5555u);
    std::vector<uint8_t> record = BuildConfigRecord(h, 0x20110506u);
    for (int i = 0; i < 50; ++i)
    {
        EXPECT_EQ(ReadLe32(&record[120 + 4 * i]), GetParamId(h, i)) << "slot " << i;
        EXPECT_EQ(ReadLe32(&record[320 + 4 * i]), GetParamValue(h, i)) << "slot " << i;
    }

    SetParamId(h, 49, 0x1234u); // no terminator at all
    record = BuildConfigRecord(h, 0x20110506u);
    EXPECT_EQ(ReadLe32(&record[120 + 4 * 49]), 0x1234u);
    EXPECT_EQ(ReadLe32(&record[320 + 4 * 49]), 0x5555u);
}

TEST(ConfigRecord, NameFillingItsWholeFieldIsEndedWithoutTheParameterList)
{
    CImageSpec imageSpec;
    imageSpec.name = std::string(36, 'N');
    imageSpec.params = {{0x20000001u, 1}};
    Bytes header = MakeHeader(imageSpec);
    ImageHeader h;
    std::copy(header.begin(), header.end(), h.begin());
    h[8 + 35] = 'N';
    std::vector<uint8_t> record = BuildConfigRecord(h, 0x20110506u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&record[8])), std::string(36, 'N'));
    for (std::size_t i = 8 + 36; i < 120; ++i)
        EXPECT_EQ(record[i], 0) << "name field byte " << i;
}

// --- The serial-port map ---

#ifndef _WIN32 // the map directory is Linux's; Win32SerialMap tests the registry's
TEST(SerialPortMap, MapDirectoryEntryIsThePort)
{
    CTempDir dir;
    std::filesystem::create_symlink("/dev/null", dir / "Silabser0");
    setenv("CORVALIN_SERIAL_MAP", dir.Path().c_str(), 1);
    auto port = platform::LookupSerialPort("\\Device\\Silabser0");
    ASSERT_TRUE(port.has_value());
    EXPECT_EQ(port->m_strPath, "/dev/null");
    EXPECT_EQ(port->m_strName, "null");
    EXPECT_FALSE(platform::LookupSerialPort("\\Device\\Silabser1").has_value());

    // A dangling entry (the device went away) is no port.
    std::filesystem::remove(dir / "Silabser0");
    std::filesystem::create_symlink(dir / "gone", dir / "Silabser0");
    EXPECT_FALSE(platform::LookupSerialPort("\\Device\\Silabser0").has_value());
    unsetenv("CORVALIN_SERIAL_MAP");
}

TEST(SerialPortMap, EveryBridgeIsListedInIndexOrder)
{
    CTempDir dir;
    for (const char* entry :
         {"Silabser10", "Silabser2", "Silabser0", "Silabser", "Silabser1234", "Silabser2x", "ttyUSB0"})
        std::filesystem::create_symlink("/dev/null", dir / entry);
    // A bridge that has gone leaves a gap.
    std::filesystem::create_symlink(dir / "gone", dir / "Silabser5");
    setenv("CORVALIN_SERIAL_MAP", dir.Path().c_str(), 1);
    std::vector<platform::CBridgePort> bridges = platform::ListBridgePorts();
    unsetenv("CORVALIN_SERIAL_MAP");

    std::vector<std::string> listed;
    for (const platform::CBridgePort& bridge : bridges)
        listed.push_back(std::to_string(bridge.m_nIndex) + " " + bridge.m_strDevice + " " +
                         bridge.m_port.m_strPath);
    EXPECT_EQ(listed,
              (std::vector<std::string>{"0 \\Device\\Silabser0 /dev/null", "2 \\Device\\Silabser2 /dev/null",
                                        "10 \\Device\\Silabser10 /dev/null"}));
}
#endif

#ifndef _WIN32 // Windows cannot tell a missing driver from no bridge: its hint is a fixed text
TEST(DeviceHints, BridgeWithoutATtyIsNamedAndAnythingElseIsNot)
{
    CTempDir sysfs;
    EXPECT_EQ(platform::NoBridgeHint(sysfs.Path()), "") << "no USB bus at all";

    // A root hub, a mouse, and a bridge the cp210x driver has bound.
    AddUsbDevice(sysfs.Path(), "usb1", "1d6b", "0002");
    AddUsbDevice(sysfs.Path(), "1-2", "046d", "c52b");
    std::filesystem::create_directory(AddUsbDevice(sysfs.Path(), "1-3", "10c4", "ea60") / "ttyUSB0");
    EXPECT_EQ(platform::NoBridgeHint(sysfs.Path()), "");

    // A second bridge that brltty took: its interface has no tty, and the tty of the
    // device 1-10 is not one of its interfaces'.
    AddUsbDevice(sysfs.Path(), "1-1", "10c4", "ea60");
    std::filesystem::create_directory(AddUsbDevice(sysfs.Path(), "1-10", "067b", "2303") / "ttyUSB1");
    const std::string hint = platform::NoBridgeHint(sysfs.Path());
    EXPECT_NE(hint.find("brltty"), std::string::npos) << hint;
    EXPECT_NE(hint.find("replug"), std::string::npos) << hint;

    // Odd entries are passed over without a hint and without blocking: a FIFO, a
    // folder or an endless run of digits as the vendor, a missing product, a dangling
    // link.
    CTempDir odd;
    const std::filesystem::path devices = odd / "bus/usb/devices";
    AddUsbDevice(odd.Path(), "2-1", "10c4", "ea60");
    std::filesystem::remove(devices / "2-1/idVendor");
    ASSERT_EQ(mkfifo((devices / "2-1/idVendor").c_str(), 0600), 0);
    AddUsbDevice(odd.Path(), "2-2", "10c4", "ea60");
    std::filesystem::remove(devices / "2-2/idVendor");
    std::filesystem::create_directory(devices / "2-2/idVendor");
    AddUsbDevice(odd.Path(), "2-3", "10c4", "ea60");
    std::ofstream(devices / "2-3/idVendor") << "10c4" << std::string(100000, '0');
    AddUsbDevice(odd.Path(), "2-4", "10c4", "ea60");
    std::filesystem::remove(devices / "2-4/idProduct");
    std::filesystem::create_symlink(odd / "gone", devices / "2-5");
    EXPECT_EQ(platform::NoBridgeHint(odd.Path()), "");

    // Only a refused or held port gets a port hint.
    EXPECT_EQ(platform::PortAccessHint(platform::ESerialError::HungUp, "Input/output error"), "");
    EXPECT_EQ(platform::PortAccessHint(platform::ESerialError::NotFound, "No such file or directory"), "");
}
#endif

// --- The port itself ---

TEST(SerialPort, OpeningFailuresSayWhy)
{
    platform::CSerialPort port;
    EXPECT_FALSE(port.Open("/dev/corvalin-no-such-port", {}));
    EXPECT_EQ(port.LastError(), platform::ESerialError::NotFound);
    EXPECT_FALSE(port.IsOpen());

    CTempDir dir;
    WriteFileBytes(dir / "plain", Bytes(10, 0));
    EXPECT_FALSE(port.Open((dir / "plain").string(), {}));
    EXPECT_EQ(port.LastError(), platform::ESerialError::Settings);
    EXPECT_FALSE(port.IsOpen());
}

TEST(SerialPort, ReadEndsAtACompleteFrame)
{
    CSimulatedBox box;
    ASSERT_FALSE(box.Path().empty());
    platform::CSerialPort port;
    // A long interval: a read that did not end at the frame would take 10 s.
    ASSERT_TRUE(port.Open(box.Path(), {10000, 0, 10000}));
    const uint8_t close[] = {0xAA, 0x55, 0x02, 0x00, 0x07, 0x00};
    std::size_t count = 0;
    ASSERT_TRUE(port.Write(close, sizeof close, count, kNoStop));
    EXPECT_EQ(count, sizeof close);

    uint8_t buffer[1024] = {};
    auto start = Clock::now();
    ASSERT_TRUE(port.Read(buffer, sizeof buffer, count, CompleteFrameLength, kNoStop));
    auto took = Clock::now() - start;
    ASSERT_EQ(count, 6u);
    EXPECT_EQ(Hex(Bytes(buffer, buffer + 6), 0, 6), "AA 55 02 00 05 00");
    EXPECT_LT(took, std::chrono::seconds(5));

    // Without the frame end the same read runs into the interval time-out; the port
    // also keeps working after a second opening.
    port.Close();
    ASSERT_TRUE(port.Open(box.Path(), {50, 0, 3000}));
    ASSERT_TRUE(port.Write(close, sizeof close, count, kNoStop));
    start = Clock::now();
    ASSERT_TRUE(port.Read(buffer, sizeof buffer, count, nullptr, kNoStop));
    EXPECT_EQ(count, 6u);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(50));
}

TEST(SerialPort, ReplyWhoseLengthLiesIsReadByTheTimeOutsAndStillJudgedByItsBytes)
{
    CSimulatedBox box({"--lie-length"});
    ASSERT_FALSE(box.Path().empty());
    platform::CSerialPort port;
    ASSERT_TRUE(port.Open(box.Path(), {50, 0, 3000}));
    const uint8_t close[] = {0xAA, 0x55, 0x02, 0x00, 0x07, 0x00};
    std::size_t count = 0;
    ASSERT_TRUE(port.Write(close, sizeof close, count, kNoStop));
    uint8_t buffer[1024] = {};
    auto start = Clock::now();
    ASSERT_TRUE(port.Read(buffer, sizeof buffer, count, CompleteFrameLength, kNoStop));
    EXPECT_EQ(Hex(Bytes(buffer, buffer + count), 0, count), "AA 55 02 02 05 00");
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(50));
    port.Close();

    CTestLink test(box.Path(), FastTiming());
    ASSERT_TRUE(test.port.Open());
    EXPECT_EQ(test.link.Close(), EExchangeResult::Ok);
}

#ifndef _WIN32 // the line settings are looked at from the pseudo-terminal's other side
TEST(SerialPort, HangUpOnCloseAndHardwareFlowControlStayOff)
{
    // HUPCL would drop DTR and RTS at the last close, CRTSCTS would let the bridge
    // drive RTS: neither is on while the port is open, nor in the settings restored.
    CSimulatedBox box;
    int peer = ::open(box.Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(peer, 0);
    termios line{};
    ASSERT_EQ(tcgetattr(peer, &line), 0);
    line.c_cflag |= HUPCL | CRTSCTS;
    line.c_lflag |= ECHO;
    ASSERT_EQ(tcsetattr(peer, TCSANOW, &line), 0);

    platform::CSerialPort port;
    ASSERT_TRUE(port.Open(box.Path(), {}));
    ASSERT_EQ(tcgetattr(peer, &line), 0);
    EXPECT_EQ(line.c_cflag & (HUPCL | CRTSCTS), 0u);
    EXPECT_EQ(line.c_lflag & ECHO, 0u);
    port.Close();
    ASSERT_EQ(tcgetattr(peer, &line), 0);
    EXPECT_EQ(line.c_cflag & (HUPCL | CRTSCTS), 0u);
    EXPECT_NE(line.c_lflag & ECHO, 0u); // the rest of the settings come back
    ::close(peer);
}
#endif

#ifndef _WIN32 // Wine lets a second program open a COM port another one holds
TEST(SerialPort, SecondOpeningOfAHeldPortIsBusy)
{
    CSimulatedBox box;
    platform::CSerialPort first, second;
    ASSERT_TRUE(first.Open(box.Path(), {}));
    EXPECT_FALSE(second.Open(box.Path(), {}));
    EXPECT_EQ(second.LastError(), platform::ESerialError::Busy);
    first.Close();
    EXPECT_TRUE(second.Open(box.Path(), {}));
}
#endif

TEST(SerialPort, SilentLineGivesAnEmptyRead)
{
    CSimulatedBox box({"--silent"});
    ASSERT_FALSE(box.Path().empty());
    platform::CSerialPort port;
    ASSERT_TRUE(port.Open(box.Path(), {20, 0, 40}));
    uint8_t buffer[64];
    std::size_t count = 99;
    EXPECT_TRUE(port.Read(buffer, sizeof buffer, count, CompleteFrameLength, kNoStop));
    EXPECT_EQ(count, 0u);
}

#ifndef _WIN32 // under Wine a terminal whose other side is gone reads as empty, not failed
TEST(SerialPort, HangUpGivesAFailedRead)
{
    CSimulatedBox box({"--silent", "--hangup-at", "0"});
    ASSERT_FALSE(box.Path().empty());
    platform::CSerialPort port;
    ASSERT_TRUE(port.Open(box.Path(), {20, 0, 40}));
    uint8_t buffer[64];
    std::size_t count = 0;

    // XFER of block 0 makes the box pull its cable.
    Bytes xfer(519, 0);
    xfer[0] = 0xAA, xfer[1] = 0x55, xfer[2] = 0x03, xfer[3] = 0x02, xfer[4] = 0x04;
    ASSERT_TRUE(port.Write(xfer.data(), xfer.size(), count, kNoStop));
    ASSERT_TRUE(WaitUntil([&] { return box.Sim().HasExited(); }));
    EXPECT_FALSE(port.Read(buffer, sizeof buffer, count, CompleteFrameLength, kNoStop));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(port.LastError(), platform::ESerialError::HungUp);
}
#endif

// --- Discovery ---

TEST_F(DeviceLinkTest, ConfiguredBoxIsListedWithItsNameAndNumber)
{
    CSimulatedBox box({"--name", "BOX", "--number", "1234"});
    CUpdater updater(FastTiming());
    Attach(updater);
    ASSERT_EQ(updater.FindDevice(), 1);
    EXPECT_EQ(updater.GetPortEntry(0), box.ShownName() + " | BOX | 00001234");
    EXPECT_EQ(updater.GetPortEntry(1), "Wrong index");
    EXPECT_EQ(updater.GetPortEntry(-1), "Wrong index");
    EXPECT_FALSE(updater.IsPortOpen());
    EXPECT_EQ(Hex(box.Record("rx.bin"), 0, 5), "AA 55 01 00 00");
}

#ifndef _WIN32 // Wine lets a second program open a held COM port
TEST_F(DeviceLinkTest, AHeldProbeKeepsThePortFromOthersUntilTheUpdateHasUsedIt)
{
    CSimulatedBox box;
    CUpdater station(FastTiming());
    Attach(station);
    LoadImage(station, CImageSpec{});
    station.SetHoldProbedPort(true);
    ASSERT_EQ(station.FindDevice(), 1);
    EXPECT_TRUE(station.IsPortOpen());

    CUpdater other(FastTiming());
    EXPECT_EQ(other.FindDevice(), 0);
    EXPECT_EQ(other.LastPortError(), platform::ESerialError::Busy);

    station.StartUpdate(0);
    ASSERT_TRUE(WaitUntil([&] { return !station.IsUpdating(); }));
    EXPECT_EQ(m_controls.LastText(), "Update complete");
    EXPECT_EQ(box.LogOf("QUERY").size(), 1u);
    EXPECT_FALSE(station.IsPortOpen());
}
#endif

#ifndef _WIN32 // several simulators publish themselves in one map directory
TEST_F(DeviceLinkTest, EachBridgeIsProbedOnItsOwn)
{
    CTempDir dir;
    const std::string map = (dir / "map").string();
    fixtures::CBoxSim first(CORVALIN_BOXSIM_PATH, {"--map-dir", map, "--name", "FIRST", "--number", "1"});
    fixtures::CBoxSim fourth(CORVALIN_BOXSIM_PATH, {"--map-dir", map, "--map-name", "Silabser3", "--name",
                                                    "FOURTH", "--number", "4"});
    ASSERT_FALSE(first.Path().empty());
    ASSERT_FALSE(fourth.Path().empty());
    setenv("CORVALIN_SERIAL_MAP", map.c_str(), 1);
    std::vector<platform::CBridgePort> bridges = platform::ListBridgePorts();
    ASSERT_EQ(bridges.size(), 2u);
    EXPECT_EQ(bridges[1].m_nIndex, 3);

    CUpdater updater(FastTiming());
    Attach(updater);
    EXPECT_EQ(updater.FindDeviceAt(bridges[1].m_strDevice), 1);
    EXPECT_EQ(updater.GetPortEntry(0), fourth.Path().substr(5) + " | FOURTH | 00000004");
    // The window's discovery still takes the first bridge only.
    EXPECT_EQ(updater.FindDevice(), 1);
    EXPECT_EQ(updater.GetPortEntry(0), first.Path().substr(5) + " | FIRST | 00000001");
    EXPECT_EQ(updater.FindDeviceAt("\\Device\\Silabser7"), 0);
    unsetenv("CORVALIN_SERIAL_MAP");
}
#endif

TEST_F(DeviceLinkTest, EmptyBoxesShowTheirNumberWithSignAndEightDigits)
{
    {
        CSimulatedBox box({"--mark", "erased", "--number", "7"});
        CUpdater updater(FastTiming());
        ASSERT_EQ(updater.FindDevice(), 1);
        EXPECT_EQ(updater.GetPortEntry(0), box.ShownName() + " | Empty | 00000007");
    }
    {
        CSimulatedBox box({"--mark", "empty", "--number", "-1"});
        CUpdater updater(FastTiming());
        ASSERT_EQ(updater.FindDevice(), 1);
        EXPECT_EQ(updater.GetPortEntry(0), box.ShownName() + " | Empty | -00000001");
    }
}

TEST_F(DeviceLinkTest, UnusableRepliesListNothing)
{
    {
        CSimulatedBox box({"--mark", "12345678"});
        CUpdater updater(FastTiming());
        EXPECT_EQ(updater.FindDevice(), 0);
        EXPECT_EQ(updater.GetPortEntry(0), "Wrong index");
    }
    {
        // Seven bytes: the record mark is cut, the missing bytes read as zeros.
        CSimulatedBox box({"--query-bytes", "7"});
        CUpdater updater(FastTiming());
        EXPECT_EQ(updater.FindDevice(), 0);
    }
    {
        // A short record still carries its mark; the cut-off number reads as 0.
        CSimulatedBox box({"--query-bytes", "30", "--number", "55"});
        CUpdater updater(FastTiming());
        ASSERT_EQ(updater.FindDevice(), 1);
        EXPECT_EQ(updater.GetPortEntry(0), box.ShownName() + " | BOX | 00000000");
    }
}

TEST_F(DeviceLinkTest, BoxAnsweringOnlyAfterAReopenIsListed)
{
    CSimulatedBox box({"--query-after-reopen"});
    CUpdater updater(FastTiming());
    ASSERT_EQ(updater.FindDevice(), 1);
    EXPECT_EQ(box.LogOf("QUERY").size(), 2u);
    EXPECT_FALSE(updater.IsPortOpen());
}

TEST_F(DeviceLinkTest, DiscoveryReadsByTheTimeOutsEvenWithFastTransfer)
{
    // The QUERY reply's length field claims the header alone, and the record follows
    // after a pause: only reads ended by the time-outs get the record.
    CSimulatedBox box({"--query-length", "1", "--split-ms", "30"});
    CLinkTiming timing;
    timing.m_bFastTransfer = true;
    CUpdater updater(timing);
    ASSERT_EQ(updater.FindDevice(), 1);
    EXPECT_EQ(updater.GetPortEntry(0), box.ShownName() + " | BOX | 00001234");
}

TEST_F(DeviceLinkTest, StopEndsAWriteTheLineDoesNotTake)
{
    // A box that reads nothing: the line backs up, and the write can go no further.
    CSimulatedBox box({"--deaf"});
    CTestLink test(box.Path(), FastTiming());
    ASSERT_TRUE(test.port.Open());
    Bytes big(4 << 20, 0x5A);
    std::size_t written = 0;
    auto writing =
        std::async(std::launch::async,
                   [&] { return test.port.Bytes().Write(big.data(), big.size(), written, test.stop); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    test.stop.store(true);
    const bool ended = writing.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!ended)
        box.Sim().Stop(); // the hang-up ends a write that ignored the stop
    EXPECT_TRUE(ended);
    writing.get();
    EXPECT_LT(written, big.size());
    test.port.Close();
}

TEST_F(DeviceLinkTest, SilentBoxAndMissingBridgeListNothingWithoutAText)
{
    {
        CSimulatedBox box({"--silent"});
        CUpdater updater(FastTiming());
        Attach(updater);
        EXPECT_EQ(updater.FindDevice(), 0);
        EXPECT_EQ(box.LogOf("QUERY").size(), 2u);
        EXPECT_EQ(m_controls.Texts(), TextList{""});
        EXPECT_FALSE(updater.IsPortOpen());
    }
    CNoBridge noBridge;
    CUpdater updater(FastTiming());
    EXPECT_EQ(updater.FindDevice(), 0);
}

#ifndef _WIN32 // only the map directory can name a plain file as the port
TEST_F(DeviceLinkTest, PortThatCannotBeConfiguredIsCannotFindDevice)
{
    CTempDir map;
    WriteFileBytes(map / "not-a-tty", Bytes(4, 0));
    std::filesystem::create_symlink(map / "not-a-tty", map / "Silabser0");
    setenv("CORVALIN_SERIAL_MAP", map.Path().c_str(), 1);
    CUpdater updater(FastTiming());
    Attach(updater);
    EXPECT_EQ(updater.FindDevice(), 0);
    EXPECT_EQ(m_controls.LastText(), "Cannot find device");
    unsetenv("CORVALIN_SERIAL_MAP");
}
#endif

// --- Exchanges ---

TEST_F(DeviceLinkTest, ExchangeResultsFollowTheReply)
{
    // Replies that come in pieces get a read time-out far above the pieces' spacing,
    // so each read surely catches its piece.
    CLinkTiming pieces = FastTiming();
    pieces.m_port.m_nConstantMs = 400;
    struct Case
    {
        std::vector<std::string> args;
        CLinkTiming timing;
        int init;
        int block;
    };
    // Result per scenario, for INIT and for XFER of block 0.
    const Case cases[] = {
        {{}, FastTiming(), 0, 0},
        {{"--restarts", "1", "--xfer-fail", "0:1"}, FastTiming(), 5, 5},
        {{"--wrong-code", "init"}, FastTiming(), 4, 0},
        {{"--wrong-code", "xfer"}, FastTiming(), 0, 4},
        {{"--silent"}, FastTiming(), 2, 2},
        {{"--slow-ms", "100"}, FastTiming(), 0, 0},
        {{"--junk", "init", "--junk-gap-ms", "60"}, pieces, 3, 0},
        {{"--stray", "3", "--stray-gap-ms", "200"}, pieces, 0, 0},
        // Junk whose bytes 4 and 5 would pass, then a reply cut after its sync mark:
        // only the bytes of the last read are judged.
        {{"--stray-hex", "55AA02000500", "--stray-gap-ms", "200", "--cut", "xfer:2"}, pieces, 0, 4},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        CSimulatedBox box(c.args);
        CTestLink test(box.Path(), c.timing);
        ASSERT_TRUE(test.port.Open());
        EXPECT_EQ(int(test.Init()), c.init);
        EXPECT_EQ(test.link.Block(), 0);
        EXPECT_EQ(int(test.Xfer()), c.block);
        EXPECT_EQ(test.link.Block(), c.block == 0 ? 1 : 0);
    }
}

TEST_F(DeviceLinkTest, WritingToAClosedPortIsResultOne)
{
    CTestLink test("/dev/corvalin-no-such-port", FastTiming());
    EXPECT_EQ(test.Init(), EExchangeResult::ShortWrite);
    EXPECT_EQ(test.link.Close(), EExchangeResult::ShortWrite);
}

TEST_F(DeviceLinkTest, FramesAreByteExact)
{
    CSimulatedBox box;
    CImageSpec imageSpec;
    imageSpec.bodySize = 300 * 512 + 100;
    imageSpec.params = {{0x10000001u, 5}};
    CTestLink test(box.Path(), FastTiming(), imageSpec);
    ASSERT_TRUE(test.port.Open());
    std::vector<uint8_t> reply;
    ASSERT_TRUE(test.link.Query(reply));
    ASSERT_EQ(test.Init(), EExchangeResult::Ok);
    ASSERT_EQ(test.Xfer(), EExchangeResult::Ok);
    ASSERT_EQ(test.Xfer(), EExchangeResult::Ok);
    ASSERT_EQ(test.link.Prep(test.image.Header(), DateToBcd({2011, 5, 6})), EExchangeResult::Ok);
    ASSERT_EQ(test.link.Close(), EExchangeResult::Ok);
    EXPECT_EQ(test.link.Block(), 0);
    test.port.Close();

    Bytes rx = box.Record("rx.bin");
    ASSERT_EQ(rx.size(), 5u + 11 + 2 * 519 + 525 + 6);
    EXPECT_EQ(Hex(rx, 5, 11), "AA 55 07 00 02 00 00 01 00 2C 01");
    EXPECT_EQ(Hex(rx, 16, 7), "AA 55 03 02 04 00 00");
    EXPECT_EQ(Hex(rx, 16 + 519, 7), "AA 55 03 02 04 01 00");
    std::size_t prep = 16 + 2 * 519;
    EXPECT_EQ(Hex(rx, prep, 5), "AA 55 09 02 06");
    EXPECT_EQ(Hex(rx, prep + 5 + 120, 12), "01 00 00 10 04 00 00 00 FF FF FF FF");
    EXPECT_EQ(Hex(rx, prep + 5 + 320 + 4, 4), "06 05 11 20");
    EXPECT_EQ(Hex(rx, prep + 525, 6), "AA 55 02 00 07 00");
}

// The largest image that loads has 65535 blocks, all of which INIT's 16 bits carry.
TEST_F(DeviceLinkTest, TheLargestBlockCountTravelsWhole)
{
    CSimulatedBox box;
    CImageSpec imageSpec;
    imageSpec.bodySize = 0xFFFFu * 512 + 511;
    CTestLink test(box.Path(), FastTiming(), imageSpec);
    ASSERT_TRUE(test.port.Open());
    ASSERT_EQ(test.Init(), EExchangeResult::Ok);
    test.port.Close();
    EXPECT_EQ(Hex(box.Record("rx.bin"), 9, 2), "FF FF");
}

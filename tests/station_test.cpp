// The station against several corvalin-boxsim published in one map directory: boxes
// updated side by side, failures that leave the others alone, one update per plug-in,
// a hub that drops every bridge at once, and a stop that ends every update.

#include "DeviceTestSupport.h"
#include "device/PresenceTiming.h"
#include "device/Station.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>

using namespace corvalin;
using namespace corvalin::fixtures;
using namespace corvalin::testing;

#ifndef _WIN32 // the simulators share a map directory, which is Linux's map
namespace
{

class CRecordingListener : public IStationListener
{
  public:
    void OnText(const CStationSlot& slot, const std::string& text) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_texts.push_back(slot.m_strPort + ": " + text);
    }
    void OnFinished(const CStationSlot& slot) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_finished[slot.m_strDevice] = slot;
    }
    CStationSlot Finished(const std::string& device)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_finished[device];
    }

  private:
    std::mutex m_mutex;
    std::vector<std::string> m_texts;
    std::map<std::string, CStationSlot> m_finished;
};

class StationTest : public ::testing::Test
{
  protected:
    StationTest()
    {
        m_spec.bodySize = 8 * 512;
        m_image = BuildImageFile(m_spec);
        setenv("CORVALIN_SERIAL_MAP", Map().c_str(), 1);
    }
    ~StationTest() override { unsetenv("CORVALIN_SERIAL_MAP"); }

    std::filesystem::path Map() const { return m_dir.Path(); }

    // Looks without waiting between looks (the rule counts looks, not time) until
    // `condition` holds.
    bool LookUntil(CStation& station, const std::function<bool()>& condition)
    {
        return WaitUntil(
            [&]
            {
                station.Look();
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                return condition();
            });
    }

    CTempDir m_dir;
    CImageSpec m_spec;
    Bytes m_image;
    CRecordingListener m_listener;
};

} // namespace

TEST_F(StationTest, BoxesAreUpdatedSideBySideAndFailuresLeaveTheOthersAlone)
{
    CSimulatedBox good({"--name", "GOOD", "--number", "1"}, Map(), 0);
    CSimulatedBox failing({"--xfer-fail", "2:3"}, Map(), 1);
    CSimulatedBox hanging({"--hangup-at", "3"}, Map(), 2);
    CSimulatedBox silent({"--silent"}, Map(), 4);
    CStation station(m_image, FastTiming(), m_listener);

    // Six looks in a row only count; the seventh probes.
    for (int look = 0; look < 6; ++look)
        station.Look();
    ASSERT_EQ(station.Slots().size(), 4u);
    EXPECT_FALSE(station.IsBusy());
    EXPECT_TRUE(good.Log().empty());

    ASSERT_TRUE(LookUntil(station, [&] { return station.Finished() == 4; }));
    EXPECT_EQ(station.Completed(), 1);
    EXPECT_EQ(m_listener.Finished("\\Device\\Silabser0").m_strText, "Update complete");
    EXPECT_EQ(m_listener.Finished("\\Device\\Silabser0").m_strEntry, good.ShownName() + " | GOOD | 00000001");
    EXPECT_EQ(m_listener.Finished("\\Device\\Silabser1").m_strText.rfind("XFER Failed: ", 0), 0u);
    EXPECT_EQ(m_listener.Finished("\\Device\\Silabser2").m_strText.rfind("XFER Failed: ", 0), 0u);
    EXPECT_EQ(m_listener.Finished("\\Device\\Silabser4").m_strText,
              "Cannot communicate, try to replug the USB");
    Bytes body = MakeBody(m_spec.bodySize, m_spec.bodySeed);
    body.resize(9 * 512, 0);
    EXPECT_EQ(good.Record("body.bin"), body);

    // Later looks start nothing: a box is updated once per plug-in.
    for (int look = 0; look < 10; ++look)
        station.Look();
    EXPECT_EQ(station.Finished(), 4);
    EXPECT_EQ(good.LogOf("INIT").size(), 1u);
}

TEST_F(StationTest, ABoxIsUpdatedAgainOnlyAfterItsBridgeCameBack)
{
    CSimulatedBox box({}, Map(), 0);
    CStation station(m_image, FastTiming(), m_listener);
    ASSERT_TRUE(LookUntil(station, [&] { return station.Finished() == 1; }));

    // Unplugged for one look, then back: counted from the start again.
    const std::filesystem::path link = Map() / "Silabser0";
    const std::filesystem::path port = std::filesystem::read_symlink(link);
    std::filesystem::remove(link);
    station.Look();
    EXPECT_TRUE(station.Slots().empty());
    std::filesystem::create_symlink(port, link);
    for (int look = 0; look < 6; ++look)
        station.Look();
    EXPECT_FALSE(station.IsBusy());
    EXPECT_EQ(box.LogOf("INIT").size(), 1u);

    ASSERT_TRUE(LookUntil(station, [&] { return station.Finished() == 2; }));
    EXPECT_EQ(station.Completed(), 2);
    EXPECT_EQ(box.LogOf("INIT").size(), 2u);
}

TEST_F(StationTest, TwoStationsOnOneMapUpdateEachBoxOnceAndTheOtherSaysTheBoxIsBusy)
{
    CSimulatedBox first({}, Map(), 0);
    CSimulatedBox second({}, Map(), 1);
    CRecordingListener otherListener;
    CStation station(m_image, FastTiming(), m_listener);
    CStation other(m_image, FastTiming(), otherListener);
    ASSERT_TRUE(LookUntil(station,
                          [&]
                          {
                              other.Look();
                              return station.Finished() == 2 && other.Finished() == 2;
                          }));

    EXPECT_EQ(station.Completed() + other.Completed(), 2);
    EXPECT_EQ(first.LogOf("INIT").size(), 1u);
    EXPECT_EQ(second.LogOf("INIT").size(), 1u);
    for (const char* device : {"\\Device\\Silabser0", "\\Device\\Silabser1"})
    {
        CStationSlot mine = m_listener.Finished(device);
        CStationSlot theirs = otherListener.Finished(device);
        const CStationSlot& loser = mine.m_bCompleted ? theirs : mine;
        EXPECT_NE(mine.m_bCompleted, theirs.m_bCompleted) << device;
        EXPECT_EQ(loser.m_strText, "Cannot find device") << device;
        EXPECT_NE(loser.m_strHint.find("in use by another program"), std::string::npos) << loser.m_strHint;
    }
}

TEST_F(StationTest, AHubDroppingEveryBridgeFailsEachUpdateAndTheReturnedBoxesAreUpdatedAgain)
{
    std::vector<std::unique_ptr<CSimulatedBox>> boxes;
    for (int index = 0; index < 3; ++index)
        boxes.push_back(
            std::make_unique<CSimulatedBox>(std::vector<std::string>{"--flash-ms", "100"}, Map(), index));
    CLinkTiming timing = FastTiming();
    timing.m_port.m_nConstantMs = 1000; // slow flashing is no failure
    CStation station(m_image, timing, m_listener);
    // Each box is in its transfer.
    ASSERT_TRUE(LookUntil(station,
                          [&]
                          {
                              return std::all_of(boxes.begin(), boxes.end(),
                                                 [](const auto& box) { return !box->LogOf("XFER").empty(); });
                          }));

    // Every port hangs up and every map entry goes in one moment.
    boxes.clear();
    ASSERT_TRUE(LookUntil(station, [&] { return station.Finished() == 3; }));
    EXPECT_EQ(station.Completed(), 0);
    for (const char* device : {"\\Device\\Silabser0", "\\Device\\Silabser1", "\\Device\\Silabser2"})
        EXPECT_EQ(m_listener.Finished(device).m_strText.rfind("XFER Failed: ", 0), 0u) << device;
    EXPECT_TRUE(station.Slots().empty());

    // The hub comes back: each box is a new plug-in, updated once.
    for (int index = 0; index < 3; ++index)
        boxes.push_back(std::make_unique<CSimulatedBox>(std::vector<std::string>{}, Map(), index));
    ASSERT_TRUE(LookUntil(station, [&] { return station.Finished() == 6; }));
    EXPECT_EQ(station.Completed(), 3);
    for (const auto& box : boxes)
        EXPECT_EQ(box->LogOf("INIT").size(), 1u);
}

TEST_F(StationTest, StopEndsEveryUpdatePromptly)
{
    CSimulatedBox first({"--flash-ms", "200"}, Map(), 0);
    CSimulatedBox second({"--flash-ms", "200"}, Map(), 1);
    CLinkTiming timing = FastTiming();
    timing.m_port.m_nConstantMs = 1000; // slow flashing is no failure
    CStation station(m_image, timing, m_listener);
    ASSERT_TRUE(LookUntil(station,
                          [&]
                          {
                              std::vector<CStationSlot> slots = station.Slots();
                              return slots.size() == 2 && slots[0].m_eState == EStationState::Updating &&
                                     slots[1].m_eState == EStationState::Updating;
                          }));

    const auto start = std::chrono::steady_clock::now();
    station.RequestStop();
    ASSERT_TRUE(LookUntil(station, [&] { return !station.IsBusy(); }));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(station.Finished(), 2);
    EXPECT_EQ(station.Completed(), 0);
}

namespace
{

// A system of the test's own making for the serial-port map to read: the cp210x
// driver's ttys in sys/, each in the folder of the USB device it belongs to, and dev/
// nodes that lead to simulated boxes. Plugging takes the lowest free ttyUSB number and
// a new device number, as the kernel does.
class CUsbSystem
{
  public:
    CUsbSystem() : m_driver(Root() / "sys/bus/usb-serial/drivers/cp210x")
    {
        std::filesystem::create_directories(m_driver);
        std::filesystem::create_directories(Root() / "dev");
        setenv("CORVALIN_SYSTEM_ROOT", Root().c_str(), 1);
    }
    ~CUsbSystem() { unsetenv("CORVALIN_SYSTEM_ROOT"); }

    std::filesystem::path Root() const { return m_dir.Path(); }

    void Plug(const std::string& location, const std::string& port)
    {
        int tty = 0;
        while (m_plugged.count(tty))
            ++tty;
        m_plugged[tty] = location;
        const std::string name = "ttyUSB" + std::to_string(tty);
        const std::filesystem::path device = Root() / "sys/devices/pci0000:00/usb1" / location;
        std::filesystem::remove_all(device);
        std::filesystem::create_directories(device / (location + ":1.0") / name);
        std::ofstream(device / "busnum") << "1\n";
        std::ofstream(device / "devnum") << ++m_nDevice << "\n";
        std::filesystem::create_directory_symlink(device / (location + ":1.0") / name, m_driver / name);
        std::filesystem::create_symlink(port, Root() / "dev" / name);
    }
    void Unplug(const std::string& location)
    {
        for (auto it = m_plugged.begin(); it != m_plugged.end(); ++it)
        {
            if (it->second != location)
                continue;
            const std::string name = "ttyUSB" + std::to_string(it->first);
            std::filesystem::remove(m_driver / name);
            std::filesystem::remove(Root() / "dev" / name);
            m_plugged.erase(it);
            return;
        }
    }

  private:
    CTempDir m_dir;
    std::filesystem::path m_driver;
    std::map<int, std::string> m_plugged; // ttyUSB number -> USB location
    int m_nDevice = 1;
};

} // namespace

TEST_F(StationTest, EachBoxIsKnownByItsPlaceInEveryOrderOfUnpluggingAndReplugging)
{
    unsetenv("CORVALIN_SERIAL_MAP");
    CUsbSystem system;
    std::vector<std::unique_ptr<CSimulatedBox>> boxes;
    std::vector<std::string> places;
    for (int i = 0; i < 4; ++i)
    {
        boxes.push_back(std::make_unique<CSimulatedBox>(
            std::vector<std::string>{"--number", std::to_string(i + 10)}, Map(), i));
        places.push_back("1-1." + std::to_string(i + 1));
        system.Plug(places.back(), std::filesystem::read_symlink(Map() / ("Silabser" + std::to_string(i))));
    }
    auto plugBack = [&](int box)
    { system.Plug(places[box], std::filesystem::read_symlink(Map() / ("Silabser" + std::to_string(box)))); };
    CStation station(m_image, FastTiming(), m_listener);
    station.SetBays({{"1-1.1", "Bay 1"}});
    ASSERT_TRUE(LookUntil(station, [&] { return station.Finished() == 4 && !station.IsBusy(); }));
    EXPECT_EQ(station.Slots()[0].m_strPlace, "USB 1-1.1");
    EXPECT_EQ(PlaceText(station.Slots()[0]), "USB 1-1.1, Bay 1");

    // In every order of the four, the first two are unplugged and put back (in the
    // reverse order, or in the same order every other time) while the other two stay,
    // with enough looks after each step for a bridge taken for a new plug-in to be
    // asked: the boxes that stay are never asked again, and each box put back is
    // updated exactly once.
    auto settle = [&]
    {
        for (int look = 0; look <= kPresenceCountTicks + 1; ++look)
            station.Look();
    };
    std::vector<int> order = {0, 1, 2, 3};
    std::vector<std::size_t> inits(4, 1);
    int orders = 0;
    do
    {
        const std::vector<int> moved = {order[0], order[1]};
        for (int box : moved)
        {
            system.Unplug(places[std::size_t(box)]);
            settle();
        }
        const std::vector<int> back = orders % 2 ? moved : std::vector<int>{moved[1], moved[0]};
        for (int box : back)
        {
            plugBack(box);
            settle();
            ++inits[std::size_t(box)];
        }
        const int turns = int(inits[0] + inits[1] + inits[2] + inits[3]);
        ASSERT_TRUE(LookUntil(station, [&] { return station.Finished() >= turns && !station.IsBusy(); }))
            << "order " << orders;
        settle();
        for (std::size_t box = 0; box < boxes.size(); ++box)
            ASSERT_EQ(boxes[box]->LogOf("INIT").size(), inits[box]) << "order " << orders << ", box " << box;
        ++orders;
    } while (std::next_permutation(order.begin(), order.end()));
    EXPECT_EQ(orders, 24);

    // A box unplugged and plugged back between two looks is a new plug-in; its
    // neighbours are left alone.
    system.Unplug(places[2]);
    plugBack(2);
    ++inits[2];
    ASSERT_TRUE(
        LookUntil(station, [&] { return boxes[2]->LogOf("INIT").size() == inits[2] && !station.IsBusy(); }));
    settle();
    for (std::size_t box = 0; box < boxes.size(); ++box)
        EXPECT_EQ(boxes[box]->LogOf("INIT").size(), inits[box]);
}
#endif

// The main window's model with a simulated box: presence polling through the serial-
// port map, the probe off the window's thread, updates end to end with their texts in
// order, the "not compatible" notice, refusals during an update and closing while the
// probe or the worker is busy.

#include "device/UpdateRecord.h"
#include "platform/DeviceHints.h"
#include "tests/FakeMainDialogView.h"
#include "tools/fixtures/ImageBuilder.h"
#include "tools/fixtures/TempDir.h"
#include "tools/fixtures/ZipWriter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <memory>

using namespace corvalin;
using namespace corvalin::fixtures;
using namespace corvalin::testing;

namespace
{

constexpr const char* kWait = "Wait for previous update to finish";
#ifdef _WIN32
// Wine hands the Linux simulator its arguments as text, so only UTF-8 reaches it.
constexpr const char* kOddName = "Caf\xC3\xA9";
constexpr const char* kOddNameShown = "Caf\u00C3\u00A9";
#else
constexpr const char* kOddName = "Caf\xE9 \xFF\x80";
constexpr const char* kOddNameShown = "Caf\u00E9 \u00FF\u0080";
#endif

class MainDialogModelDeviceTest : public ::testing::Test
{
  protected:
    MainDialogModelDeviceTest()
    {
        CImageSpec imageSpec;
        imageSpec.params = RealisticParameters(false);
        imageSpec.bodySize = 8 * 512 + 100;
        m_image = m_dir / "product.img";
        WriteFileBytes(m_image, BuildImageFile(imageSpec));
        m_bundle = m_dir / "bundle.zip";
        WriteZip(m_bundle, {{"image.info", {}},
                            {"VOLVO_P3_enc_1.07.bin", BuildImageFile(imageSpec)},
                            {"VOLVO_P2_IR_enc_1.02.bin", BuildImageFile(imageSpec)}});
    }

    void NewModel(const CLinkTiming& timing = FastTiming())
    {
        m_model = std::make_unique<CMainDialogModel>(m_view, ManualTicks(), timing);
        m_model->OnInitDialog();
    }
    void Plug(std::vector<std::string> options = {})
    {
        m_noBridge.reset();
        m_box = std::make_unique<CSimulatedBox>(std::move(options));
        ASSERT_FALSE(m_box->Path().empty());
    }
    void Unplug()
    {
        m_box.reset();
        m_noBridge = std::make_unique<CNoBridge>();
    }
    void Open(const std::filesystem::path& path)
    {
        m_view.m_openAnswer = path;
        m_model->OpenBundleOrImage();
    }
    void Ticks(int count)
    {
        for (int tick = 0; tick < count; ++tick)
            m_model->OnTimer();
    }
    // A box that never answers, and a model that has started to probe it.
    void StartSilentProbe(const CLinkTiming& timing = FastTiming())
    {
        Plug({"--silent"});
        NewModel(timing);
        Ticks(7);
    }
    // Ticks until the box has been probed and the result is shown.
    bool Connect()
    {
        Ticks(7);
        return m_view.PumpUntil([&] { return m_model->IsConnected(); }, 10);
    }
    int RowOf(const std::string& label)
    {
        const std::vector<std::string>& lines = m_view.List(EMainControl::Parameters);
        for (std::size_t row = 0; row < lines.size(); ++row)
            if (lines[row].starts_with(label))
                return int(row);
        return -1;
    }
    std::string Status() { return m_view.Text(EMainControl::Status); }
    std::string Device() { return m_view.Text(EMainControl::Device); }
    bool UpdateEnabled() { return m_view.Enabled(EMainControl::Update); }

    CTempDir m_dir;
    std::filesystem::path m_image;
    std::filesystem::path m_bundle;
    std::unique_ptr<CNoBridge> m_noBridge = std::make_unique<CNoBridge>();
    std::unique_ptr<CSimulatedBox> m_box;
    CFakeView m_view;
    std::unique_ptr<CMainDialogModel> m_model;
};

TEST_F(MainDialogModelDeviceTest, ProbesOnTheSeventhTickAndResetsOnUnplug)
{
    NewModel();
    m_model->OnTimer();
    EXPECT_EQ(Device(), "Not connected");

    for (int plugIn = 0; plugIn < 2; ++plugIn)
    {
        SCOPED_TRACE(plugIn);
        // The second box's name is bytes in no known encoding: each shows as one character.
        Plug(plugIn == 0 ? std::vector<std::string>{} : std::vector<std::string>{"--name", kOddName});
        for (int tick = 1; tick <= 6; ++tick)
        {
            m_model->OnTimer();
            EXPECT_FALSE(m_model->IsProbing());
            EXPECT_FALSE(m_model->IsConnected());
        }
        EXPECT_EQ(Device(), "Not connected");
        m_model->OnTimer();
        EXPECT_TRUE(m_model->IsProbing() || m_model->IsConnected());
        m_view.m_positions.clear();
        ASSERT_TRUE(m_view.PumpUntil([&] { return m_model->IsConnected(); }, 10));
        EXPECT_FALSE(m_model->IsProbing());
        EXPECT_EQ(Device(),
                  m_box->ShownName() + " | " + (plugIn == 0 ? "BOX" : kOddNameShown) + " | 00001234");
        EXPECT_EQ(m_view.m_positions, std::vector<int>{0});

        // Connected without an image: "Update" stays off; with one it comes on.
        if (plugIn == 0)
        {
            EXPECT_FALSE(UpdateEnabled());
        }
        Open(m_image);
        EXPECT_TRUE(UpdateEnabled());

        // Pulled out: seen at the next tick, and the bar goes back to 0.
        Unplug();
        m_view.m_positions.clear();
        m_model->OnTimer();
        EXPECT_FALSE(m_model->IsConnected());
        EXPECT_EQ(Device(), "Not connected");
        EXPECT_EQ(m_view.m_positions, std::vector<int>{0});
        EXPECT_FALSE(UpdateEnabled());
    }
}

TEST_F(MainDialogModelDeviceTest, SilentBoxAsksToReplugWithoutBlocking)
{
    StartSilentProbe();
    // The tick has returned while the probe still waits for the box; the window's
    // thread goes on serving the user.
    EXPECT_TRUE(m_model->IsProbing());
    EXPECT_FALSE(m_model->IsConnected());
    Open(m_image);
    EXPECT_EQ(Status(), "Loaded update file");

    ASSERT_TRUE(m_view.PumpUntil([&] { return m_model->IsConnected(); }, 10));
    EXPECT_EQ(Device(), "Cannot communicate, try to replug the USB");

    // Connected with an image: "Update" is on, but with no port listed it starts
    // nothing, and says so.
    EXPECT_TRUE(UpdateEnabled());
    m_model->OnUpdate();
    EXPECT_FALSE(m_model->Updater().IsUpdating());
    EXPECT_EQ(Status(), "No device found");

    // A failed probe is not repeated while the bridge stays.
    m_model->OnTimer();
    EXPECT_FALSE(m_model->IsProbing());
    EXPECT_EQ(Device(), "Cannot communicate, try to replug the USB");
}

TEST_F(MainDialogModelDeviceTest, UnplugDuringAProbeDropsItsResult)
{
    StartSilentProbe();
    ASSERT_TRUE(m_model->IsProbing());
    Unplug();
    m_model->OnTimer();
    ASSERT_TRUE(m_view.PumpUntil([&] { return !m_model->IsProbing(); }, 10));
    EXPECT_FALSE(m_model->IsConnected());
    EXPECT_EQ(Device(), "Not connected");
}

TEST_F(MainDialogModelDeviceTest, UpdateRunsEndToEndWithItsTextsInOrder)
{
    Plug();
    NewModel();
    Open(m_image);
    ASSERT_TRUE(Connect());

    for (int run = 0; run < 2; ++run)
    {
        SCOPED_TRACE(run);
        m_view.m_statusTexts.clear();
        m_view.m_positions.clear();
        m_view.m_colors.clear();
        m_model->OnUpdate();
        ASSERT_TRUE(m_view.PumpUntil([&] { return !m_model->Updater().IsUpdating(); }));
        m_view.Pump();
        EXPECT_EQ(m_view.m_statusTexts, (std::vector<std::string>{"Send INIT", "Start XFER", "Send PREP",
                                                                  "Send CLOSE", "Update complete"}));
        ASSERT_FALSE(m_view.m_positions.empty());
        EXPECT_EQ(m_view.m_positions.back(), 100);
        for (int position : m_view.m_positions)
            EXPECT_TRUE(position >= 0 && position <= 100) << position;
        // Navy at INIT, green at the end.
        EXPECT_EQ(m_view.m_colors, (std::vector<uint32_t>{kBarColorNavy, kBarColorGreen}));
    }
    EXPECT_EQ(m_box->LogOf("XFER").size(), 2u * 9u);
}

TEST_F(MainDialogModelDeviceTest, RefusesChangesDuringAnUpdateAndClosesCleanly)
{
    Plug({"--flash-ms", "100"});
    NewModel();
    Open(m_bundle);
    m_model->SelectProduct(1);
    m_view.SelectEntry(EMainControl::Product, 1);
    ASSERT_TRUE(m_model->IsImageLoaded());
    ASSERT_TRUE(Connect());
    const int row = RowOf("CH0.Volume");
    ASSERT_GE(row, 0);
    const uint32_t before = GetParamValue(m_model->Updater().Header(), 5);

    // The update begins while the value entry dialog is open: its answer is refused,
    // so the image being sent does not change.
    m_view.m_valueAnswer = std::make_pair(std::string("25"), -1);
    m_view.m_onValueEntry = [&]
    {
        m_model->OnUpdate();
        m_view.PumpUntil([&] { return Status() == "Start XFER"; }, 10);
    };
    m_model->ChangeParameter(row);
    m_view.m_onValueEntry = nullptr;
    ASSERT_TRUE(m_model->Updater().IsUpdating());
    EXPECT_EQ(GetParamValue(m_model->Updater().Header(), 5), before);
    EXPECT_EQ(Status(), kWait);

    m_view.m_statusTexts.clear();
    m_model->OpenBundleOrImage();
    EXPECT_EQ(m_view.m_nOpenAsked, 1);
    EXPECT_EQ(Status(), kWait);
    EXPECT_TRUE(m_model->IsImageLoaded());

    // Another product: refused, and the list shows the product being sent.
    m_view.SelectEntry(EMainControl::Product, 0);
    m_model->SelectProduct(0);
    EXPECT_EQ(m_view.m_nProductShown, 1);
    EXPECT_EQ(Status(), kWait);

    // No value entry opens.
    m_view.m_lastEntry = {};
    m_view.m_lastEntry.m_nValue = -77;
    m_model->ChangeParameter(row);
    EXPECT_EQ(m_view.m_lastEntry.m_nValue, -77);
    EXPECT_EQ(GetParamValue(m_model->Updater().Header(), 5), before);

    // Pressing Update again leaves the running update alone.
    m_model->OnUpdate();
    EXPECT_TRUE(m_model->Updater().IsUpdating());
    EXPECT_EQ(m_box->LogOf("INIT").size(), 1u);

    // Closing in the middle of the transfer asks first; No keeps the update going.
    m_view.m_bYes = false;
    EXPECT_FALSE(m_model->CanClose());
    ASSERT_EQ(m_view.m_questions, std::vector<std::string>{kCloseDuringUpdateQuestion});
    EXPECT_TRUE(m_model->Updater().IsUpdating());
    EXPECT_NE(m_view.m_nTimerMs, 0);
    m_view.m_bYes = true;
    EXPECT_TRUE(m_model->CanClose());

    // Then the timer stops, the worker stops and the model's end joins it.
    m_model->OnClose();
    EXPECT_EQ(m_view.m_nTimerMs, 0);
    EXPECT_TRUE(m_view.PumpUntil([&] { return !m_model->Updater().IsWorkerRunning(); }, 10));
    m_model.reset();
}

TEST_F(MainDialogModelDeviceTest, UpdateRecordHasALinePerEndedUpdateIncludingOneCutShortByClosing)
{
    Plug({"--name", "SHOP", "--number", "42", "--flash-ms", "50"});
    NewModel();
    Open(m_bundle);
    m_model->SelectProduct(1);
    ASSERT_TRUE(Connect());
    const std::filesystem::path log = m_dir / "updates.jsonl";
    auto records = [&]
    {
        std::vector<CUpdateRecord> read;
        std::ifstream in(log);
        for (std::string line; std::getline(in, line);)
            EXPECT_TRUE(ParseRecordLine(line, read.emplace_back())) << line;
        return read;
    };

    // Off at start; a file that cannot be written is refused when chosen.
    m_model->OnUpdate();
    ASSERT_TRUE(m_view.PumpUntil([&] { return !m_model->Updater().IsUpdating(); }));
    Ticks(1);
    m_view.m_saveAnswer = m_dir / "missing" / "updates.jsonl";
    m_model->KeepUpdateRecord();
    m_view.Pump();
    EXPECT_FALSE(m_model->IsKeepingUpdateRecord());
    EXPECT_EQ(Status(), "Unable to write the file");

    m_view.m_saveAnswer = log;
    m_model->KeepUpdateRecord();
    EXPECT_TRUE(m_model->IsKeepingUpdateRecord());
    m_model->OnUpdate();
    ASSERT_TRUE(m_view.PumpUntil([&] { return !m_model->Updater().IsUpdating(); }));
    Ticks(1);
    std::vector<CUpdateRecord> read = records();
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].m_strStatus, "Update complete");
    EXPECT_TRUE(read[0].m_bSuccess);
    EXPECT_EQ(read[0].m_strBox, "SHOP");
    EXPECT_EQ(read[0].m_nNumber, 42);
    EXPECT_EQ(read[0].m_strImage, m_bundle.string());
    EXPECT_EQ(read[0].m_strProduct, m_view.List(EMainControl::Product).at(1));
    ASSERT_TRUE(read[0].m_dSeconds.has_value());
    EXPECT_GT(*read[0].m_dSeconds, 0.0);
    // A second look at an ended update adds nothing.
    Ticks(2);
    EXPECT_EQ(records().size(), 1u);

    // Closing in the middle of the transfer still leaves its line, which says where
    // the stop came rather than the last status text; the status line's refusal is
    // no text of the update's.
    m_model->OnUpdate();
    ASSERT_TRUE(m_view.PumpUntil([&] { return Status() == "Start XFER"; }, 10));
    m_model->OpenBundleOrImage();
    EXPECT_EQ(Status(), kWait);
    m_model->OnClose();
    m_model.reset();
    read = records();
    ASSERT_EQ(read.size(), 2u);
    EXPECT_FALSE(read[1].m_bSuccess);
    EXPECT_TRUE(read[1].m_strStatus.starts_with("Stopped at block ")) << read[1].m_strStatus;
    EXPECT_TRUE(read[1].m_strStatus.ends_with(" of 9")) << read[1].m_strStatus;
    EXPECT_EQ(read[1].m_strSha256, read[0].m_strSha256);
}

TEST_F(MainDialogModelDeviceTest, NotCompatibleNoticeWaitsForTheUser)
{
    Plug({"--prep-status", "2"});
    NewModel();
    Open(m_image);
    ASSERT_TRUE(Connect());

    m_model->OnUpdate();
    ASSERT_TRUE(m_view.PumpUntil([&] { return !m_view.m_notices.empty(); }));
    EXPECT_EQ(m_view.m_notices,
              std::vector<std::string>{"Error: The image file is not compatible with the hardware"});
    EXPECT_EQ(m_view.m_noticeIcons, std::vector<EMessageIcon>{EMessageIcon::Error});
    EXPECT_EQ(Status(), "PREP Failed: 5");
    // The worker waits for the user.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    m_view.Pump();
    EXPECT_TRUE(m_model->Updater().IsUpdating());

    m_model->OnNoticeClosed();
    ASSERT_TRUE(m_view.PumpUntil([&] { return !m_model->Updater().IsUpdating(); }, 5));
    m_view.Pump();
    EXPECT_EQ(Status(), "PREP Failed: 5");
    EXPECT_EQ(m_view.m_colors.back(), kBarColorNavy);

    // Closed while the notice is open again: the worker does not wait for the user.
    m_model->OnUpdate();
    ASSERT_TRUE(m_view.PumpUntil([&] { return m_view.m_notices.size() == 2; }));
    m_model->OnClose();
    EXPECT_TRUE(m_view.PumpUntil([&] { return !m_model->Updater().IsWorkerRunning(); }, 10));
}

#ifndef _WIN32 // Windows's no-bridge hint is a fixed text, and Wine shows no port as busy
TEST_F(MainDialogModelDeviceTest, DeviceHintSaysWhatKeepsTheBoxAway)
{
    // The system's USB devices: a bridge that brltty took, so it has no tty.
    CTempDir sysfs;
    const std::filesystem::path bridge = AddUsbDevice(sysfs.Path(), "1-1", "10c4", "ea60");
    const std::string brltty = platform::NoBridgeHint(sysfs.Path());
    ASSERT_NE(brltty.find("brltty"), std::string::npos);
    const int hintTicks = CWindowTiming{}.m_nDeviceHintTicks;
    NewModel();
    m_model->SetSysfsRoot(sysfs.Path());
    m_model->OnTimer();
    EXPECT_EQ(Device(), "Not connected");
    EXPECT_EQ(m_view.m_deviceHints, std::vector<std::string>{brltty});

    // The system is looked at again while the map stays empty, and the view hears of
    // changes only.
    std::filesystem::create_directory(bridge / "ttyUSB0");
    Ticks(hintTicks);
    EXPECT_EQ(m_view.m_deviceHints, (std::vector<std::string>{brltty, ""}));
    std::filesystem::remove(bridge / "ttyUSB0");
    Ticks(hintTicks);
    EXPECT_EQ(m_view.m_deviceHints.back(), brltty);

    // A box listed has no hint.
    Plug();
    Open(m_image);
    ASSERT_TRUE(Connect());
    EXPECT_EQ(Device(), m_box->ShownName() + " | BOX | 00001234");
    EXPECT_EQ(m_view.m_deviceHints.back(), "");

    // An update whose port another program holds says so, and one that starts clears it.
    platform::CSerialPort holder;
    ASSERT_TRUE(holder.Open(m_box->Path(), {}));
    m_model->OnUpdate();
    EXPECT_EQ(Status(), "Unable to open the device");
    EXPECT_TRUE(m_view.m_deviceHints.back().starts_with("the port is in use by another program ("))
        << m_view.m_deviceHints.back();
    holder.Close();
    m_model->OnUpdate();
    EXPECT_EQ(m_view.m_deviceHints.back(), "");
    ASSERT_TRUE(m_view.PumpUntil([&] { return !m_model->Updater().IsUpdating(); }));

    // So does a probe that cannot open the port.
    Unplug();
    m_model->OnTimer();
    EXPECT_EQ(m_view.m_deviceHints.back(), brltty);
    Plug();
    ASSERT_TRUE(holder.Open(m_box->Path(), {}));
    ASSERT_TRUE(Connect());
    EXPECT_EQ(Device(), "Cannot communicate, try to replug the USB");
    EXPECT_TRUE(m_view.m_deviceHints.back().starts_with("the port is in use by another program ("))
        << m_view.m_deviceHints.back();
}
#endif

TEST_F(MainDialogModelDeviceTest, ClosesDuringASilentProbe)
{
    // With the box's own time-outs the probe would run about 20 s.
    StartSilentProbe(CLinkTiming{});
    ASSERT_TRUE(m_model->IsProbing());
    // Closing ends the probe's reads and the model's end joins it; the bound is a guard
    // far below 20 s, not a measure.
    const auto start = std::chrono::steady_clock::now();
    m_model->OnClose();
    m_model.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    // What the probe posted on its way out reaches a window whose model is gone.
    m_view.Pump();
}

} // namespace

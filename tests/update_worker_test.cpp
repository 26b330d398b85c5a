// The update worker on its own thread against corvalin-boxsim over a pseudo-terminal (on
// Windows a Wine COM port linked to it), with shortened time-outs: state machine,
// restarts and retries, outputs, hand-over and stopping.

#include "DeviceTestSupport.h"

#include "device/BootLoaderProtocol.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace corvalin;
using namespace corvalin::fixtures;
using namespace corvalin::testing;

namespace
{

class UpdateWorkerTest : public ::testing::Test
{
  protected:
    // Starts the box with `args`, finds it, loads an image of `bodySize` bytes.
    void Begin(std::vector<std::string> args, std::size_t bodySize = 1024)
    {
        m_pUpdater.reset();
        m_pBox.reset();
        m_pBox = std::make_unique<CSimulatedBox>(std::move(args));
        ASSERT_FALSE(m_pBox->Path().empty());
        m_pUpdater = std::make_unique<CUpdater>(m_timing);
        m_pUpdater->AttachControls(&m_controls, &m_controls, &m_controls);
        m_pUpdater->SetDateSource(&m_date);
        m_spec.bodySize = bodySize;
        m_spec.params = {{0x10000001u, 7}, {0x10000002u, 8}};
        m_file = BuildImageFile(m_spec);
        ASSERT_EQ(m_pUpdater->LoadImageBuffer(m_file.data(), m_file.size()), 1);
        ASSERT_EQ(m_pUpdater->FindDevice(), 1);
        m_pUpdater->StartThread();
        m_controls.Clear();
    }

    // Runs an update to its end.
    void RunUpdate()
    {
        // A short update may be over before StartUpdate has even returned.
        m_pUpdater->StartUpdate(0);
        ASSERT_TRUE(WaitUntil([&] { return !m_pUpdater->IsUpdating(); }));
        ASSERT_TRUE(m_controls.HasText("Send INIT")) << m_controls.LastText();
    }

    CUpdater& Updater() { return *m_pUpdater; }
    CSimulatedBox& Box() { return *m_pBox; }

    CLinkTiming m_timing = FastTiming();
    CRecordingControls m_controls;
    CFixedDate m_date{{2026, 12, 8}};
    CImageSpec m_spec;
    Bytes m_file;
    // Declared after the controls, so the worker is gone before they are.
    std::unique_ptr<CSimulatedBox> m_pBox;
    std::unique_ptr<CUpdater> m_pUpdater;
};

} // namespace

TEST_F(UpdateWorkerTest, SuccessfulUpdateReportsEachStepAndSendsEverything)
{
    Begin({});
    RunUpdate();
    EXPECT_EQ(m_controls.Texts(),
              (TextList{"Send INIT", "Start XFER", "Send PREP", "Send CLOSE", "Update complete"}));
    // Block count 2: blocks 0, 1 and 2, then the full bar before PREP.
    EXPECT_EQ(m_controls.Positions(), (std::vector<int>{50, 100, 150, 100}));
    EXPECT_EQ(m_controls.Colors(), (std::vector<uint32_t>{kBarColorNavy, kBarColorGreen}));
    EXPECT_EQ(m_controls.Sounds(), 1);
    EXPECT_FALSE(Updater().IsPortOpen());
    EXPECT_EQ(Updater().State(), EUpdateState::Idle);

    EXPECT_EQ(Box().Log(),
              (TextList{"QUERY", "INIT 00010000 2", "XFER 0", "XFER 1", "XFER 2", "PREP 520", "CLOSE"}));
    // The box got the body, padded with zeros to whole blocks, and the record.
    Bytes body = MakeBody(m_spec.bodySize, m_spec.bodySeed);
    body.resize(3 * 512, 0);
    EXPECT_EQ(Box().Record("body.bin"), body);
    ImageHeader header;
    Bytes made = MakeHeader(m_spec);
    std::copy(made.begin(), made.end(), header.begin());
    auto record = BuildConfigRecord(header, 0x20261208u);
    EXPECT_EQ(Box().Record("prep.bin"), Bytes(record.begin(), record.end()));

    // A second update runs the same way.
    m_controls.Clear();
    RunUpdate();
    EXPECT_EQ(m_controls.LastText(), "Update complete");
    EXPECT_EQ(Box().LogOf("CLOSE").size(), 2u);
}

TEST_F(UpdateWorkerTest, LastBlockIsPaddedAndProgressPassesOneHundred)
{
    Begin({}, 1000);
    RunUpdate();
    EXPECT_EQ(m_controls.Positions(), (std::vector<int>{100, 200, 100}));
    Bytes body = MakeBody(1000, m_spec.bodySeed);
    body.resize(2 * 512, 0);
    EXPECT_EQ(Box().Record("body.bin"), body);
}

TEST_F(UpdateWorkerTest, LateBytesAfterEachReplySpoilNeitherReadRule)
{
    // A box that sends a byte some milliseconds after every reply frame, at the
    // shipped time-outs. The box's own timing takes the byte into its reply; fast
    // transfer finds it ahead of the next reply, judges that reply from its sync mark
    // and finishes with the box's timing, saying so once.
    const std::string fallback = "Late reply bytes, fast transfer off";
    for (const char* gap : {"0", "2", "5", "20", "60"})
    {
        for (bool fast : {false, true})
        {
            SCOPED_TRACE(std::string("gap ") + gap + (fast ? " ms, fast transfer" : " ms"));
            m_timing = CLinkTiming{}; // the shipped rule unless fast transfer is chosen
            if (fast)
                m_timing.m_bFastTransfer = true;
            const bool tail = std::string(gap) != "0";
            Begin(tail ? std::vector<std::string>{"--tail", "1", "--tail-gap-ms", gap}
                       : std::vector<std::string>{});
            RunUpdate();
            EXPECT_EQ(m_controls.LastText(), "Update complete");
            EXPECT_EQ(Box().LogOf("INIT").size(), 1u);
            EXPECT_EQ(Box().LogOf("XFER").size(), 3u);
            const int told = m_controls.CountText(fallback);
            if (!fast || !tail)
                EXPECT_EQ(told, 0);
            else if (std::atoi(gap) >= kSurelyLateGapMs)
                EXPECT_EQ(told, 1);
            else
                EXPECT_LE(told, 1); // the 1 ms grace may still catch a byte 2 or 5 ms late
        }
    }
}

TEST_F(UpdateWorkerTest, BootLoaderRestartsAreWaitedOutWithoutLimit)
{
    Begin({"--restarts", "3"});
    RunUpdate();
    TextList texts = m_controls.Texts();
    TextList expected{"Send INIT", "Restarting to BootLoader: 5", "Send INIT", "Restarting to BootLoader: 5",
                      "Send INIT", "Restarting to BootLoader: 5", "Send INIT", "Start XFER"};
    ASSERT_GE(texts.size(), expected.size());
    EXPECT_EQ(TextList(texts.begin(), texts.begin() + long(expected.size())), expected);
    EXPECT_EQ(m_controls.LastText(), "Update complete");
    EXPECT_EQ(Box().LogOf("INIT").size(), 4u);
}

TEST_F(UpdateWorkerTest, SilentBoxGetsFourAttemptsThenFails)
{
    Begin({"--init-script", "ssss"});
    RunUpdate();
    EXPECT_EQ(m_controls.CountText("Send INIT"), 4);
    EXPECT_EQ(m_controls.LastText(), "INIT Failed: 2");
    EXPECT_EQ(m_controls.LastPosition(), 100);
    EXPECT_EQ(m_controls.LastColor(), kBarColorNavy);
    EXPECT_EQ(Updater().State(), EUpdateState::Idle);
    EXPECT_FALSE(Updater().IsPortOpen());
    EXPECT_EQ(m_controls.Sounds(), 0);
}

TEST_F(UpdateWorkerTest, RestartDoesNotResetTheRetryCount)
{
    Begin({"--init-script", "ssrss"});
    RunUpdate();
    EXPECT_EQ(m_controls.LastText(), "INIT Failed: 2");
    EXPECT_EQ(m_controls.CountText("Send INIT"), 5);
    EXPECT_EQ(m_controls.CountText("Restarting to BootLoader: 5"), 1);
    EXPECT_TRUE(Box().LogOf("XFER").empty());

    // The count belongs to one update: the next one starts afresh (and succeeds).
    m_controls.Clear();
    RunUpdate();
    EXPECT_EQ(m_controls.LastText(), "Update complete");
}

TEST_F(UpdateWorkerTest, FailedStepsNameTheirResult)
{
    struct Case
    {
        std::vector<std::string> args;
        std::string last;
    };
    const Case cases[] = {
        {{"--wrong-code", "init"}, "INIT Failed: 4"},
        {{"--xfer-fail", "1:3"}, "XFER Failed: 5"},
        {{"--close-status", "1"}, "CLOSE Failed: 5"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.last);
        m_controls.Clear();
        Begin(c.args);
        RunUpdate();
        EXPECT_EQ(m_controls.LastText(), c.last);
        EXPECT_EQ(m_controls.LastPosition(), 100);
        EXPECT_EQ(m_controls.LastColor(), kBarColorNavy);
        EXPECT_FALSE(Updater().IsPortOpen());
        EXPECT_EQ(m_controls.Sounds(), 0);
    }
}

TEST_F(UpdateWorkerTest, RefusedPrepWaitsForTheMessageToBeDismissed)
{
    Begin({"--prep-status", "2"});
    Updater().StartUpdate(0);
    ASSERT_TRUE(WaitUntil([&] { return !m_controls.Messages().empty(); }));
    EXPECT_EQ(m_controls.Messages(), TextList{"Error: The image file is not compatible with the hardware"});
    EXPECT_EQ(m_controls.LastText(), "PREP Failed: 5");
    // The worker holds the update until the user closes the box.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(Updater().IsUpdating());

    Updater().DismissMessage();
    ASSERT_TRUE(WaitUntil([&] { return !Updater().IsUpdating(); }));
    EXPECT_EQ(m_controls.LastText(), "PREP Failed: 5");
    EXPECT_EQ(m_controls.LastPosition(), 100);
    EXPECT_FALSE(Updater().IsPortOpen());
    EXPECT_TRUE(Box().LogOf("CLOSE").empty());
}

TEST_F(UpdateWorkerTest, ClosingWhileTheMessageIsOpenDoesNotHang)
{
    Begin({"--prep-status", "1"});
    Updater().StartUpdate(0);
    ASSERT_TRUE(WaitUntil([&] { return !m_controls.Messages().empty(); }));
    // Destroying the worker ends the wait and joins the thread.
    m_pUpdater.reset();
    EXPECT_TRUE(Box().LogOf("CLOSE").empty());
}

TEST_F(UpdateWorkerTest, HangUpInTheTransferFailsTheUpdateAndClosesThePort)
{
    Begin({"--hangup-at", "3"}, 8 * 512);
    RunUpdate();
    EXPECT_TRUE(m_controls.LastText() == "XFER Failed: 2" || m_controls.LastText() == "XFER Failed: 1")
        << m_controls.LastText();
    EXPECT_EQ(Updater().State(), EUpdateState::Idle);
    EXPECT_FALSE(Updater().IsPortOpen());
    EXPECT_EQ(Box().LogOf("XFER").size(), 4u);
}

TEST_F(UpdateWorkerTest, UpdateCannotBeStartedTwiceNorItsImageReplaced)
{
    // Slow flashing keeps the update running while the owner tries to interfere. Each
    // reply then comes 30 ms late, so the read waits longer than the shortened 40 ms,
    // which a loaded machine under Wine overran ("XFER Failed: 2").
    m_timing.m_port.m_nConstantMs = 250;
    Begin({"--flash-ms", "30"}, 64 * 512);
    Updater().StartUpdate(0);
    ASSERT_TRUE(WaitUntil([&] { return Updater().Block() >= 2; }));

    Updater().StartUpdate(0);
    EXPECT_EQ(m_controls.LastText(), "Wait for previous update to finish");
    CImageSpec other;
    other.bodySize = 2048;
    other.bodySeed = 99;
    Bytes otherFile = BuildImageFile(other);
    EXPECT_EQ(Updater().LoadImageBuffer(otherFile.data(), otherFile.size()), 0);
    EXPECT_EQ(m_controls.LastText(), "Wait for previous update to finish");
    // Discovery leaves the port and the list to the update.
    EXPECT_EQ(Updater().FindDevice(), 1);
    EXPECT_EQ(Updater().GetPortEntry(0), Box().ShownName() + " | BOX | 00001234");
    // An edit made now goes with the next update, not this one.
    SetParamValue(Updater().Header(), 0, 0xEEEEu);

    ASSERT_TRUE(WaitUntil([&] { return !Updater().IsUpdating(); }));
    EXPECT_EQ(m_controls.LastText(), "Update complete");
    EXPECT_EQ(Box().LogOf("INIT").size(), 1u);
    EXPECT_EQ(Box().LogOf("QUERY").size(), 1u);
    Bytes body = MakeBody(m_spec.bodySize, m_spec.bodySeed);
    body.resize(65 * 512, 0);
    EXPECT_EQ(Box().Record("body.bin"), body);
    EXPECT_EQ(ReadLe32(&Box().Record("prep.bin")[320]), 7u);
}

TEST_F(UpdateWorkerTest, StartUpdateChecksImageListAndPort)
{
    CUpdater updater(FastTiming());
    updater.AttachControls(&m_controls, &m_controls, &m_controls);
    updater.StartUpdate(0);
    EXPECT_EQ(m_controls.LastText(), "Image was not loaded");

    Bytes file = BuildImageFile(CImageSpec{});
    ASSERT_EQ(updater.LoadImageBuffer(file.data(), file.size()), 1);
    m_controls.Clear();
    updater.StartUpdate(0); // empty list: nothing starts, and the user is told
    EXPECT_EQ(m_controls.Texts(), TextList{"No device found"});
    EXPECT_FALSE(updater.IsUpdating());

    updater.UsePortPath("/dev/corvalin-no-such-port");
    m_controls.Clear();
    updater.StartUpdate(1); // index out of range
    EXPECT_EQ(m_controls.Texts(), TextList{"No device found"});
    updater.StartUpdate(0);
    EXPECT_EQ(m_controls.LastText(), "Unable to open the device");
    EXPECT_FALSE(updater.IsUpdating());
}

TEST_F(UpdateWorkerTest, StopEndsTheIdleLoopWithoutWaitingOutTheStep)
{
    m_timing.m_nIdleStepMs = 60000;
    CUpdater updater(m_timing);
    updater.StartThread();
    ASSERT_TRUE(WaitUntil([&] { return updater.IsWorkerRunning(); }));
    auto start = Clock::now();
    updater.RequestStop();
    ASSERT_TRUE(WaitUntil([&] { return !updater.IsWorkerRunning(); }));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(30));
}

TEST_F(UpdateWorkerTest, StopDuringAnExchangeWithASilentBoxEndsPromptly)
{
    // Real time-outs: four silent INIT attempts would take about 41 s.
    m_timing = CLinkTiming{};
    Begin({"--init-script", "ssss"});
    Updater().StartUpdate(0);
    ASSERT_TRUE(WaitUntil([&] { return !Box().LogOf("INIT").empty(); }));
    Updater().RequestStop();
    ASSERT_TRUE(WaitUntil([&] { return !Updater().IsWorkerRunning(); }, 10));
    EXPECT_FALSE(Updater().IsPortOpen());
    EXPECT_FALSE(Updater().IsUpdating());
    // A stop is no unanswered INIT: no full bar, no second attempt.
    EXPECT_TRUE(m_controls.Positions().empty());
    EXPECT_EQ(m_controls.CountText("Send INIT"), 1);
    // After the stop the worker does no further work.
    Updater().StartUpdate(0);
    EXPECT_FALSE(Updater().IsUpdating());
}

TEST_F(UpdateWorkerTest, StopDuringPrepIsNoFailure)
{
    // The box answers PREP with junk only; the stop comes while the worker reads it.
    Begin({"--junk", "prep", "--junk-gap-ms", "30"});
    Updater().StartUpdate(0);
    ASSERT_TRUE(WaitUntil([&] { return !Box().LogOf("PREP").empty(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    Updater().RequestStop();
    ASSERT_TRUE(WaitUntil([&] { return !Updater().IsWorkerRunning(); }, 10));
    EXPECT_EQ(m_controls.LastText(), "Send PREP");
    EXPECT_TRUE(m_controls.Messages().empty());
    EXPECT_FALSE(Updater().IsPortOpen());
}

// The main window of corvalin.exe against the Linux box simulator behind a Wine COM
// port, driven by messages as the user's clicks and the timer would: presence ticks
// and the probe, opening a bundle under a folder with a non-ASCII name, choosing a
// product, an edit through the value entry dialog, "Wr", an update to its end, the code
// selection offered for an image with IR buttons, the "not compatible" notice, the
// device field's tooltip and closing during an update. The worker's reports travel
// through the window's message queue.

#include "device/UpdaterControls.h"
#include "gui/win32/MainDlg.h"
#include "gui/win32/resource.h"
#include "params/ParameterEdit.h"
#include "params/ParameterTable.h"
#include "platform/DeviceHints.h"
#include "platform/win32/WideText.h"
#include "tests/DeviceTestSupport.h"
#include "tests/win32_gui/Win32GuiTestSupport.h"
#include "tools/fixtures/CcfBuilder.h"
#include "tools/fixtures/ZipWriter.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <iterator>
#include <optional>

using namespace corvalin;
using namespace corvalin::fixtures;
using namespace corvalin::testing;
using namespace corvalin::win32;
using namespace corvalin::win32test;

namespace
{

// CH0.Volume, a decimal parameter, in slot 5 of the realistic parameters.
constexpr int kVolumeSlot = 5;

class Win32MainWindowDevice : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        m_spec.params = RealisticParameters(false);
        m_spec.bodySize = 8 * 512 + 100;
        m_image = m_dir / "product.img";
        WriteFileBytes(m_image, BuildImageFile(m_spec));
        // The wide calls carry the folder's name from the chooser to the bundle reader.
        const std::filesystem::path folder = m_dir.Path() / L"Kunden" / L"M\u00fcller";
        std::filesystem::create_directories(folder);
        m_bundle = folder / L"bundle.zip";
        WriteZip(m_bundle, {{"image.info", {}},
                            {"VOLVO_P3_enc_1.07.bin", BuildImageFile(m_spec)},
                            {"VOLVO_P2_IR_enc_1.02.bin", BuildImageFile(m_spec)}});
    }

    // Plugs in a box with `options`, then shows the window; its timer only ticks when
    // the test says so.
    void Start(std::vector<std::string> options)
    {
        m_pBox = std::make_unique<CSimulatedBox>(std::move(options));
        ASSERT_FALSE(m_pBox->Path().empty());
        CWindowTiming timing;
        timing.m_nPresencePollMs = 24 * 3600 * 1000;
        m_pWindow = std::make_unique<CMainDlg>(timing, FastTiming());
        m_pWindow->SetFileChoosers([this](HWND, const CFileDialog&) { return m_openAnswer.wstring(); },
                                   [this](HWND, const CFileDialog&) { return m_saveAnswer.wstring(); });
        ASSERT_TRUE(m_pWindow->Create(nullptr));
        m_hDialog = m_pWindow->Handle();
    }
    void Tick() { SendMessageW(m_hDialog, WM_TIMER, 1, 0); }
    // Seven ticks with the bridge present probe the box; pumps until it is shown.
    bool Connect()
    {
        for (int tick = 0; tick < 7; ++tick)
            Tick();
        return PumpUntil([&] { return Model().IsConnected(); });
    }
    void Click(int id) { SendDlgItemMessageW(m_hDialog, id, BM_CLICK, 0, 0); }
    void ChooseProduct(int index)
    {
        HWND combo = m_pWindow->Item(IDC_PRODUCT);
        SendMessageW(combo, CB_SETCURSEL, WPARAM(index), 0);
        SendMessageW(m_hDialog, WM_COMMAND, MAKEWPARAM(IDC_PRODUCT, CBN_SELCHANGE), LPARAM(combo));
    }
    // Pumps the window's messages until `condition` holds; a guard against a hang.
    static bool PumpUntil(const std::function<bool()>& condition, int seconds = 30)
    {
        const ULONGLONG end = GetTickCount64() + ULONGLONG(seconds) * 1000;
        while (!condition())
        {
            if (GetTickCount64() > end)
                return false;
            Pump(10);
        }
        return true;
    }
    std::wstring Text(int id) { return TextOf(m_pWindow->Item(id)); }
    // The first row of the parameter list that starts with `start`, or -1.
    int RowStartingWith(const std::wstring& start)
    {
        HWND list = m_pWindow->Item(IDC_PARAMETERS);
        for (int n = 0; n < int(SendMessageW(list, LB_GETCOUNT, 0, 0)); ++n)
        {
            wchar_t line[256] = {};
            SendMessageW(list, LB_GETTEXT, WPARAM(n), reinterpret_cast<LPARAM>(line));
            if (std::wstring(line).starts_with(start))
                return n;
        }
        return -1;
    }
    // The value of the image's parameter `id`, none when the image lacks it.
    std::optional<uint32_t> ValueOf(uint32_t id)
    {
        for (int slot = 0; slot < kParamSlots; ++slot)
            if (GetParamId(Model().Updater().Header(), slot) == id)
                return GetParamValue(Model().Updater().Header(), slot);
        return std::nullopt;
    }
    // The colour the progress bar shows a little right of its left end (0x00RRGGBB).
    uint32_t BarPixel()
    {
        RECT window{}, bar{};
        GetWindowRect(m_hDialog, &window);
        GetWindowRect(m_pWindow->Item(IDC_PROGRESS), &bar);
        return CaptureWindow(m_hDialog).At(bar.left - window.left + 6,
                                           (bar.top + bar.bottom) / 2 - window.top);
    }
    // The text of the device field's tooltip; none before the window has made one.
    std::wstring DeviceTip()
    {
        struct CFind
        {
            HWND owner;
            HWND tip = nullptr;
        } find{m_hDialog};
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND window, LPARAM data) -> BOOL
            {
                auto& found = *reinterpret_cast<CFind*>(data);
                wchar_t name[64] = {};
                GetClassNameW(window, name, 64);
                if (GetWindow(window, GW_OWNER) != found.owner || lstrcmpiW(name, TOOLTIPS_CLASSW) != 0)
                    return TRUE;
                found.tip = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&find));
        if (!find.tip)
            return L"";
        wchar_t text[1024] = {};
        TTTOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.hwnd = m_hDialog;
        tool.uId = reinterpret_cast<UINT_PTR>(m_pWindow->Item(IDC_DEVICE));
        tool.lpszText = text;
        SendMessageW(find.tip, TTM_GETTEXTW, WPARAM(std::size(text)), reinterpret_cast<LPARAM>(&tool));
        return text;
    }
    CMainDialogModel& Model() { return *m_pWindow->Model(); }
    bool Updating() { return Model().Updater().IsUpdating(); }

    CTempDir m_dir;
    CImageSpec m_spec;
    std::filesystem::path m_image;
    std::filesystem::path m_bundle;
    std::filesystem::path m_openAnswer;
    std::filesystem::path m_saveAnswer;
    std::unique_ptr<CSimulatedBox> m_pBox;
    // After the box, so the window and its worker go first.
    std::unique_ptr<CMainDlg> m_pWindow;
    HWND m_hDialog = nullptr;
};

} // namespace

TEST_F(Win32MainWindowDevice, ProbeBundleEditStoreAndUpdateToTheEnd)
{
    Start({"--flash-ms", "100"});
    // Six ticks only count; the seventh probes, off the window's thread.
    for (int tick = 0; tick < 6; ++tick)
        Tick();
    Pump(100);
    EXPECT_FALSE(Model().IsProbing() || Model().IsConnected());
    EXPECT_EQ(Text(IDC_DEVICE), L"");
    Tick();
    ASSERT_TRUE(PumpUntil([&] { return Model().IsConnected(); }));
    EXPECT_EQ(Text(IDC_DEVICE), platform::Widen(m_pBox->ShownName()) + L" | BOX | 00001234");
    EXPECT_FALSE(IsWindowEnabled(m_pWindow->Item(IDC_UPDATE)));

    // "...": the bundle's products, none chosen yet; a choice loads its image.
    m_openAnswer = m_bundle;
    Click(IDC_BROWSE);
    EXPECT_EQ(Text(IDC_BUNDLE_PATH), m_bundle.wstring());
    EXPECT_TRUE(IsWindowEnabled(m_pWindow->Item(IDC_PRODUCT)));
    EXPECT_EQ(SendDlgItemMessageW(m_hDialog, IDC_PRODUCT, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(SendDlgItemMessageW(m_hDialog, IDC_PRODUCT, CB_GETCURSEL, 0, 0), CB_ERR);
    ChooseProduct(1);
    ASSERT_TRUE(Model().IsImageLoaded());
    EXPECT_TRUE(IsWindowEnabled(m_pWindow->Item(IDC_UPDATE)));
    HWND list = m_pWindow->Item(IDC_PARAMETERS);
    EXPECT_GT(SendMessageW(list, LB_GETCOUNT, 0, 0), 5);
    EXPECT_TRUE(SaveScreenshot(m_hDialog, "main-window-bundle"));

    // A double-click on CH0.Volume opens the value entry dialog; its answer shows in
    // the list, on the same row, still selected.
    const int row = RowStartingWith(L"CH0.Volume");
    ASSERT_GE(row, 0);
    SendMessageW(list, LB_SETCURSEL, WPARAM(row), 0);
    std::wstring shown;
    WhenShown(L"Please enter new value",
              [&](HWND entry)
              {
                  shown = TextOf(GetDlgItem(entry, IDC_VALUE_EDIT));
                  SetDlgItemTextW(entry, IDC_VALUE_EDIT, L"25");
                  SendDlgItemMessageW(entry, IDOK, BM_CLICK, 0, 0);
              });
    SendMessageW(m_hDialog, WM_COMMAND, MAKEWPARAM(IDC_PARAMETERS, LBN_DBLCLK), LPARAM(list));
    EXPECT_EQ(shown, L"20");
    EXPECT_EQ(GetParamValue(Model().Updater().Header(), kVolumeSlot), 25u);
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), row);

    // From the keyboard: Enter, F2 and Space on the selected line open it too.
    SetFocus(list);
    for (const WPARAM key : {WPARAM(VK_RETURN), WPARAM(VK_F2), WPARAM(VK_SPACE)})
    {
        const std::wstring typed = std::to_wstring(30 + key % 10);
        WhenShown(L"Please enter new value",
                  [&](HWND entry)
                  {
                      SetDlgItemTextW(entry, IDC_VALUE_EDIT, typed.c_str());
                      SendDlgItemMessageW(entry, IDOK, BM_CLICK, 0, 0);
                  });
        PressKey(list, key);
        Pump(100);
        EXPECT_EQ(GetParamValue(Model().Updater().Header(), kVolumeSlot), 30u + key % 10) << key;
    }
    EXPECT_FALSE(m_pWindow->IsEnded());

    // "Wr" stores the edited image and shows where.
    m_saveAnswer = m_dir / "stored.img";
    Click(IDC_STORE);
    EXPECT_EQ(Text(IDC_BUNDLE_PATH), m_saveAnswer.wstring());
    EXPECT_NE(ReadFileBytes(m_saveAnswer), ReadFileBytes(m_image));

    // "Update": the worker's texts and bar reach the window through its queue.
    Click(IDC_UPDATE);
    ASSERT_TRUE(PumpUntil([&] { return Text(IDC_STATUS) == L"Start XFER"; }));
    HWND bar = m_pWindow->Item(IDC_PROGRESS);
    PumpUntil([&] { return SendMessageW(bar, PBM_GETPOS, 0, 0) > 20; }, 5);
    // Drawn in the worker's colours, not the visual style's.
    EXPECT_EQ(BarPixel(), 0x000080u);
    EXPECT_TRUE(SaveScreenshot(m_hDialog, "main-window-updating"));
    ASSERT_TRUE(PumpUntil([&] { return !Updating(); }));
    Pump(50);
    EXPECT_EQ(Text(IDC_STATUS), L"Update complete");
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 100);
    EXPECT_EQ(BarPixel(), 0x00FF00u);
    EXPECT_TRUE(SaveScreenshot(m_hDialog, "main-window-update-complete"));
    // The box got the image's body, padded with zeros to whole blocks.
    Bytes body = MakeBody(m_spec.bodySize, m_spec.bodySeed);
    body.resize(9 * 512, 0);
    EXPECT_EQ(m_pBox->Record("body.bin"), body);
    EXPECT_EQ(m_pBox->LogOf("CLOSE").size(), 1u);
}

// Opening an image with IR button parameters shows the code selection: the demo
// remote's default assignments accepted with OK reach the image and its list; CANCEL
// leaves the image as stored.
TEST_F(Win32MainWindowDevice, CodeSelectionAtOpeningReachesTheImage)
{
    Start({});
    CImageSpec irImage = m_spec;
    irImage.params = RealisticParameters(true);
    m_openAnswer = m_dir / "ir.img";
    WriteFileBytes(m_openAnswer, BuildImageFile(irImage));
    const std::wstring ccf = (m_dir / "demo.ccf").wstring();
    WriteFileBytes(ccf, BuildDemoCcf());
    constexpr uint32_t kMute = 0x50160001u + 9;
    constexpr uint32_t kVolumeUp = 0x50160001u + 2;

    WhenShown(L"Code Selection",
              [&](HWND dialog)
              {
                  SetDlgItemTextW(dialog, IDC_SOURCE_FILE, ccf.c_str());
                  SendDlgItemMessageW(dialog, IDC_OK_BUTTON, BM_CLICK, 0, 0);
              });
    Click(IDC_BROWSE);
    ASSERT_TRUE(Model().IsImageLoaded());
    EXPECT_NE(ValueOf(kMute).value_or(0), 0u);
    EXPECT_NE(ValueOf(kVolumeUp).value_or(0), 0u);
    EXPECT_TRUE(ValueOf(kIrTypeParameter).has_value());
    EXPECT_GE(RowStartingWith(L"IR TYPE"), 0);

    WhenShown(L"Code Selection",
              [](HWND dialog) { SendDlgItemMessageW(dialog, IDC_CANCEL_BUTTON, BM_CLICK, 0, 0); });
    Click(IDC_BROWSE);
    ASSERT_TRUE(Model().IsImageLoaded());
    EXPECT_EQ(ValueOf(kMute), 0u);
    EXPECT_FALSE(ValueOf(kIrTypeParameter).has_value());
    EXPECT_EQ(RowStartingWith(L"IR TYPE"), -1);
}

TEST_F(Win32MainWindowDevice, NotCompatibleNoticeIsAnsweredByTheUser)
{
    Start({"--prep-status", "2"});
    m_openAnswer = m_image;
    Click(IDC_BROWSE);
    ASSERT_TRUE(Connect());
    // The worker waits until the user has closed the message box.
    std::wstring text;
    bool bWaited = false;
    WhenShown(L"Corvalin",
              [&](HWND box)
              {
                  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
                      if (TextOf(child).starts_with(L"Error"))
                          text = TextOf(child);
                  Sleep(100);
                  bWaited = Updating();
                  SendMessageW(box, WM_COMMAND, IDOK, 0);
              });
    Click(IDC_UPDATE);
    ASSERT_TRUE(PumpUntil([&] { return !Updating(); }));
    EXPECT_EQ(text, L"Error: The image file is not compatible with the hardware");
    EXPECT_TRUE(bWaited);
    Pump(50);
    EXPECT_EQ(Text(IDC_STATUS), L"PREP Failed: 5");
}

TEST_F(Win32MainWindowDevice, DeviceFieldTooltipHoldsTheDriverHint)
{
    Start({});
    ASSERT_TRUE(Connect());
    EXPECT_EQ(DeviceTip(), L"");
    // Unplugged: no SERIALCOMM value, which may be a missing driver.
    m_pBox.reset();
    Tick();
    EXPECT_EQ(Text(IDC_DEVICE), L"Not connected");
    EXPECT_EQ(DeviceTip(), platform::Widen(platform::NoBridgeHint()));
    // A box listed again needs no hint.
    m_pBox = std::make_unique<CSimulatedBox>();
    ASSERT_TRUE(Connect());
    EXPECT_EQ(DeviceTip(), L"");
}

TEST_F(Win32MainWindowDevice, ClosingDuringAnUpdateStopsIt)
{
    // Long enough that the update is still in its transfer when the second question
    // is answered.
    m_spec.bodySize = 40 * 512;
    WriteFileBytes(m_image, BuildImageFile(m_spec));
    Start({"--flash-ms", "300"});
    m_openAnswer = m_image;
    Click(IDC_BROWSE);
    ASSERT_TRUE(Connect());
    Click(IDC_UPDATE);
    ASSERT_TRUE(PumpUntil([&] { return Text(IDC_STATUS) == L"Start XFER"; }));
    // "Close" asks first, with No as the default: No keeps the window and the update.
    std::wstring question;
    bool bWarns = false;
    WhenShown(L"Corvalin",
              [&](HWND box)
              {
                  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
                  {
                      if (TextOf(child).starts_with(L"An update"))
                          question = TextOf(child);
                      bWarns |= SendMessageW(child, STM_GETICON, 0, 0) != 0;
                  }
                  EXPECT_EQ(GetWindowLongPtrW(GetDlgItem(box, IDNO), GWL_STYLE) & BS_TYPEMASK,
                            BS_DEFPUSHBUTTON);
                  EXPECT_TRUE(SaveScreenshot(box, "close-question-during-update-win32"));
                  SendMessageW(box, WM_COMMAND, IDNO, 0);
              });
    Click(IDOK);
    EXPECT_TRUE(question.starts_with(L"An update is running.")) << platform::Narrow(question);
    EXPECT_TRUE(bWarns);
    EXPECT_FALSE(m_pWindow->IsEnded());
    EXPECT_TRUE(Updating());
    // Escape asks too; Yes ends the window and stops the update.
    WhenShown(L"Corvalin", [](HWND box) { SendMessageW(box, WM_COMMAND, IDYES, 0); });
    SendMessageW(m_hDialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(m_pWindow->IsEnded());
    EXPECT_TRUE(PumpUntil([&] { return !Model().Updater().IsWorkerRunning(); }, 10));
    EXPECT_TRUE(m_pBox->LogOf("CLOSE").empty());
    // The window goes with reports of the worker still in its queue.
    m_pWindow.reset();
    Pump(50);
}

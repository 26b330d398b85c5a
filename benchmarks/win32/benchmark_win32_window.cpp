// The Win32 main window's responsiveness under Wine: the time from start to the first
// painted main window, and the longest stall of the window's thread while a silent box
// is probed (the probe itself takes about 20 s with the box's real time-outs).
//
// The window runs in a message loop of this program that wakes at least every
// millisecond; the gap between two wake-ups is how long the thread was away in a
// handler. The box is the Linux corvalin-boxsim with --silent behind a Wine COM port,
// published as the bridge; the window's own 500 ms timer finds it and probes it on the
// seventh tick.
//
//   benchmark_win32_window

#include "gui/win32/MainDlg.h"
#include "tests/DeviceTestSupport.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

using namespace corvalin;

namespace
{

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Milliseconds since Windows created this process, as its process times say.
double MsSinceProcessCreation()
{
    FILETIME created{}, exited{}, kernel{}, user{}, now{};
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    GetSystemTimePreciseAsFileTime(&now);
    const auto ticks = [](const FILETIME& time)
    { return (ULONGLONG(time.dwHighDateTime) << 32) | time.dwLowDateTime; };
    return double(ticks(now) - ticks(created)) / 10000.0;
}

// The message that took the thread longest, and for how long.
struct CLongestMessage
{
    UINT m_nMessage = 0;
    WPARAM m_wParam = 0;
    double m_dMs = 0;
};

// Handles every waiting message; returns whether one was a WM_PAINT of `window`
// (handled to its end by then).
bool HandleMessages(HWND window, CLongestMessage* longest = nullptr)
{
    bool bPainted = false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    {
        const bool bPaint = msg.message == WM_PAINT && msg.hwnd == window;
        const Clock::time_point start = Clock::now();
        win32::CDialogWindow::PumpMessage(msg);
        const double ms = MsSince(start);
        if (longest && ms > longest->m_dMs)
            *longest = {msg.message, msg.wParam, ms};
        bPainted = bPainted || bPaint;
    }
    return bPainted;
}

void WaitForMessages(DWORD ms)
{
    MsgWaitForMultipleObjectsEx(0, nullptr, ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

} // namespace

int main()
{
    const Clock::time_point start = Clock::now();
    const double processMs = MsSinceProcessCreation();
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS;
    InitCommonControlsEx(&controls);

    {
        // Start to first paint, with no bridge published.
        testing::CNoBridge noBridge;
        win32::CMainDlg window;
        const Clock::time_point shown = Clock::now();
        HWND handle = window.Create(nullptr);
        if (!handle)
        {
            std::fprintf(stderr, "benchmark_win32_window: the main window was not made\n");
            return 1;
        }
        while (!HandleMessages(handle) && MsSince(shown) < 10000)
            WaitForMessages(10);
        const double fromMain = MsSince(start);
        std::printf("main() to first painted window: %.1f ms (process creation to main(): %.1f ms, "
                    "window creation to paint: %.1f ms)\n",
                    fromMain, processMs, MsSince(shown));
    }

    testing::CSimulatedBox box({"--silent"});
    if (box.Path().empty())
    {
        std::fprintf(stderr, "benchmark_win32_window: cannot start the simulator\n");
        return 1;
    }
    win32::CMainDlg window;
    HWND handle = window.Create(nullptr);
    if (!handle)
        return 1;
    CMainDialogModel& model = *window.Model();
    double longest = 0;
    double probeLongest = 0;
    bool bSawProbe = false;
    CLongestMessage longestMessage;
    const Clock::time_point plugged = Clock::now();
    Clock::time_point last = plugged;
    while (MsSince(plugged) < 40000 && !(bSawProbe && !model.IsProbing()))
    {
        HandleMessages(handle, &longestMessage);
        const Clock::time_point now = Clock::now();
        const double gap = std::chrono::duration<double, std::milli>(now - last).count();
        last = now;
        longest = std::max(longest, gap);
        if (model.IsProbing())
        {
            bSawProbe = true;
            probeLongest = std::max(probeLongest, gap);
        }
        WaitForMessages(1);
    }
    std::printf("silent box: probe %s after %.1f s\n",
                bSawProbe && !model.IsProbing() ? "ended" : "still running", MsSince(plugged) / 1000);
    std::printf("longest window-thread stall while the probe ran: %.1f ms (over the whole run: %.1f ms)\n",
                probeLongest, longest);
    std::printf("longest single message: 0x%04X (wParam %llu), %.1f ms\n", longestMessage.m_nMessage,
                static_cast<unsigned long long>(longestMessage.m_wParam), longestMessage.m_dMs);
    return bSawProbe ? 0 : 1;
}

#pragma once
// Helpers of the Win32 dialog tests: message pumping, running a step once a modal
// dialog shows, control rectangles against the template, and screenshots as PNG.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace corvalin::win32test
{

// Handles the thread's pending messages, as the program's loop does, for `ms`
// milliseconds at least.
void Pump(int ms = 0);

// Runs `step` from inside the next modal loop, once a visible top-level window of this
// thread whose caption is `caption` exists; the step gets that window.
void WhenShown(const std::wstring& caption, std::function<void(HWND)> step);

// A control's rectangle in the dialog's client coordinates.
RECT ClientRectOf(HWND dialog, HWND control);
// The pixel rectangle of a template rectangle in dialog units.
RECT TemplateRect(HWND dialog, int x, int y, int w, int h);

// A dialog template of the program's resources as the resource compiler wrote it:
// sizes in dialog units, control classes by name ("Button", "msctls_progress32").
struct CTemplateItem
{
    int m_nId = 0;
    std::wstring m_strClass;
    // An icon's resource ordinal reads "#128".
    std::wstring m_strText;
    DWORD m_nStyle = 0;
    int m_nX = 0, m_nY = 0, m_nW = 0, m_nH = 0;
};
struct CDialogTemplate
{
    std::wstring m_strCaption;
    int m_nW = 0, m_nH = 0;
    int m_nFontPoints = 0;
    std::vector<CTemplateItem> m_items;
};
// The extended template `id` (DIALOGEX); false when it is missing or not extended.
bool ReadDialogTemplate(int id, CDialogTemplate& dialog);

// Presses a key as the user does: focuses `window` and sends the key (down, then up)
// through the input queue.
void PressKey(HWND window, WPARAM key);

// What the window shows, 0x00RRGGBB per pixel.
struct CCapture
{
    int m_nWidth = 0;
    int m_nHeight = 0;
    std::vector<uint32_t> m_pixels;
    uint32_t At(int x, int y) const
    {
        return m_pixels[std::size_t(y) * std::size_t(m_nWidth) + std::size_t(x)];
    }
};
CCapture CaptureWindow(HWND window);
// Saves the window as NAME.png in the screenshots folder; returns whether it was written.
bool SaveScreenshot(HWND window, const std::string& name);
// Writes 8-bit RGB PNG data (stored deflate blocks through zlib).
bool WritePng(const std::wstring& path, const CCapture& image);

// The window's text as UTF-16.
std::wstring TextOf(HWND window);

} // namespace corvalin::win32test

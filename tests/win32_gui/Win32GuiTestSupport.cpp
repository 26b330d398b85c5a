#include "tests/win32_gui/Win32GuiTestSupport.h"

#include "gui/win32/DialogWindow.h"
#include "gui/win32/KeyButtons.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>

namespace corvalin::win32test
{

namespace
{

struct CPendingStep
{
    std::wstring m_strCaption;
    std::function<void(HWND)> m_step;
};
thread_local std::vector<CPendingStep> g_steps;
thread_local UINT_PTR g_nTimer = 0;

HWND FindShownWindow(const std::wstring& caption)
{
    struct CSearch
    {
        const std::wstring* m_pCaption;
        HWND m_hFound;
    } search{&caption, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM data) -> BOOL
        {
            auto* s = reinterpret_cast<CSearch*>(data);
            if (IsWindowVisible(window) && TextOf(window) == *s->m_pCaption)
            {
                s->m_hFound = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.m_hFound;
}

void CALLBACK OnStepTimer(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_steps.empty())
        return;
    HWND window = FindShownWindow(g_steps.front().m_strCaption);
    if (!window)
        return;
    CPendingStep step = std::move(g_steps.front());
    g_steps.erase(g_steps.begin());
    if (g_steps.empty())
    {
        KillTimer(nullptr, g_nTimer);
        g_nTimer = 0;
    }
    step.m_step(window);
}

void PutBig32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(uint8_t(value >> shift));
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data)
{
    PutBig32(out, uint32_t(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(0L, out.data() + start, uInt(out.size() - start));
    PutBig32(out, uint32_t(crc));
}

} // namespace

void Pump(int ms)
{
    const ULONGLONG until = GetTickCount64() + ULONGLONG(ms);
    do
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            win32::CDialogWindow::PumpMessage(msg);
        if (ms > 0)
            Sleep(5);
    } while (GetTickCount64() < until);
}

void WhenShown(const std::wstring& caption, std::function<void(HWND)> step)
{
    g_steps.push_back({caption, std::move(step)});
    if (!g_nTimer)
        g_nTimer = SetTimer(nullptr, 0, 20, OnStepTimer);
}

RECT ClientRectOf(HWND dialog, HWND control)
{
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

RECT TemplateRect(HWND dialog, int x, int y, int w, int h)
{
    // Windows converts the corner and the size each on their own.
    RECT units = {x, y, w, h};
    MapDialogRect(dialog, &units);
    return {units.left, units.top, units.left + units.right, units.top + units.bottom};
}

namespace
{

// Reads a DLGTEMPLATEEX resource field by field; every read is checked against its end.
class CTemplateReader
{
  public:
    CTemplateReader(const BYTE* data, std::size_t size) : m_pData(data), m_nSize(size) {}

    bool Ok() const { return m_bOk; }
    template <class T> T Read()
    {
        T value{};
        if (m_nAt + sizeof(T) > m_nSize)
        {
            m_bOk = false;
            return value;
        }
        std::memcpy(&value, m_pData + m_nAt, sizeof(T));
        m_nAt += sizeof(T);
        return value;
    }
    std::wstring ReadString()
    {
        std::wstring text;
        for (wchar_t c = wchar_t(Read<WORD>()); m_bOk && c != 0; c = wchar_t(Read<WORD>()))
            text.push_back(c);
        return text;
    }
    // A string, or 0xFFFF and an ordinal; a class ordinal reads as its class's name.
    std::wstring ReadNameOrOrdinal(bool bClass)
    {
        if (m_nAt + 2 > m_nSize || m_pData[m_nAt] != 0xFF || m_pData[m_nAt + 1] != 0xFF)
            return ReadString();
        Read<WORD>();
        const WORD ordinal = Read<WORD>();
        static const wchar_t* const kClasses[] = {L"Button",  L"Edit",      L"Static",
                                                  L"ListBox", L"ScrollBar", L"ComboBox"};
        if (bClass && ordinal >= 0x80 && ordinal < 0x80 + std::size(kClasses))
            return kClasses[ordinal - 0x80];
        return L"#" + std::to_wstring(ordinal);
    }
    void Skip(std::size_t bytes) { m_nAt += bytes; }
    // Items start on 32-bit boundaries of the resource.
    void AlignToDword() { m_nAt = (m_nAt + 3) & ~std::size_t(3); }

  private:
    const BYTE* m_pData;
    std::size_t m_nSize;
    std::size_t m_nAt = 0;
    bool m_bOk = true;
};

} // namespace

bool ReadDialogTemplate(int id, CDialogTemplate& dialog)
{
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5)); // RT_DIALOG
    if (!found)
        return false;
    CTemplateReader in(static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found))),
                       SizeofResource(nullptr, found));
    if (in.Read<WORD>() != 1 || in.Read<WORD>() != 0xFFFF)
        return false;
    in.Read<DWORD>(); // help id
    in.Read<DWORD>(); // extended style
    const DWORD style = in.Read<DWORD>();
    const WORD count = in.Read<WORD>();
    in.Read<short>();
    in.Read<short>();
    dialog.m_nW = in.Read<short>();
    dialog.m_nH = in.Read<short>();
    in.ReadNameOrOrdinal(false); // menu
    in.ReadNameOrOrdinal(false); // window class
    dialog.m_strCaption = in.ReadString();
    if (style & (DS_SETFONT | DS_SHELLFONT))
    {
        dialog.m_nFontPoints = in.Read<WORD>();
        in.Read<WORD>(); // weight
        in.Read<BYTE>(); // italic
        in.Read<BYTE>(); // character set
        in.ReadString(); // face
    }
    dialog.m_items.clear();
    for (WORD n = 0; n < count && in.Ok(); ++n)
    {
        in.AlignToDword();
        CTemplateItem item;
        in.Read<DWORD>(); // help id
        in.Read<DWORD>(); // extended style
        item.m_nStyle = in.Read<DWORD>();
        item.m_nX = in.Read<short>();
        item.m_nY = in.Read<short>();
        item.m_nW = in.Read<short>();
        item.m_nH = in.Read<short>();
        item.m_nId = int(in.Read<int32_t>());
        item.m_strClass = in.ReadNameOrOrdinal(true);
        item.m_strText = in.ReadNameOrOrdinal(false);
        in.Skip(in.Read<WORD>()); // creation data
        dialog.m_items.push_back(std::move(item));
    }
    return in.Ok();
}

void PressKey(HWND window, WPARAM key)
{
    // As a user types: `window` has the keyboard focus in the foreground window, and
    // the key goes through the input queue, where Windows makes WM_CHAR, WM_HELP and
    // the dialog manager's keys of it.
    HWND top = GetAncestor(window, GA_ROOT);
    if (top && GetForegroundWindow() != top)
        SetForegroundWindow(top);
    if (GetFocus() != window)
        SetFocus(window);
    INPUT input[2]{};
    input[0].type = INPUT_KEYBOARD;
    input[0].ki.wVk = WORD(key);
    input[0].ki.wScan = WORD(MapVirtualKeyW(UINT(key), MAPVK_VK_TO_VSC));
    input[1] = input[0];
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
}

CCapture CaptureWindow(HWND window)
{
    CCapture capture;
    RECT rect{};
    GetWindowRect(window, &rect);
    const int w = rect.right - rect.left;
    const int h = rect.bottom - rect.top;
    if (w <= 0 || h <= 0)
        return capture;
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump(50);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = win32::CreatePixelBitmap(screen, w, h, &bits);
    HGDIOBJ old = SelectObject(dc, bitmap);
    // What is on the screen, as the user sees it; the window is on top.
    BitBlt(dc, 0, 0, w, h, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    const auto* pixels = static_cast<const uint32_t*>(bits);
    capture.m_nWidth = w;
    capture.m_nHeight = h;
    capture.m_pixels.assign(pixels, pixels + std::size_t(w) * std::size_t(h));
    for (uint32_t& pixel : capture.m_pixels)
        pixel &= 0x00FFFFFFu;
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return capture;
}

bool WritePng(const std::wstring& path, const CCapture& image)
{
    if (image.m_nWidth <= 0 || image.m_nHeight <= 0)
        return false;
    std::vector<uint8_t> raw;
    raw.reserve(std::size_t(image.m_nHeight) * (std::size_t(image.m_nWidth) * 3 + 1));
    for (int y = 0; y < image.m_nHeight; ++y)
    {
        raw.push_back(0); // no filter
        for (int x = 0; x < image.m_nWidth; ++x)
        {
            const uint32_t pixel = image.At(x, y);
            raw.push_back(uint8_t(pixel >> 16));
            raw.push_back(uint8_t(pixel >> 8));
            raw.push_back(uint8_t(pixel));
        }
    }
    uLongf packedSize = compressBound(uLong(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), Z_BEST_COMPRESSION) != Z_OK)
        return false;
    packed.resize(packedSize);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    PutBig32(header, uint32_t(image.m_nWidth));
    PutBig32(header, uint32_t(image.m_nHeight));
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8-bit RGB, deflate, no filter, no interlace
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", packed);
    PutChunk(png, "IEND", {});
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (!file)
        return false;
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    return std::fclose(file) == 0 && written;
}

bool SaveScreenshot(HWND window, const std::string& name)
{
    const std::filesystem::path dir = CORVALIN_SCREENSHOT_DIR;
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    SetForegroundWindow(window);
    return WritePng((dir / (name + ".png")).wstring(), CaptureWindow(window));
}

std::wstring TextOf(HWND window)
{
    std::wstring text(std::size_t(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(std::size_t(GetWindowTextW(window, text.data(), int(text.size()))));
    return text;
}

} // namespace corvalin::win32test

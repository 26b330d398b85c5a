#include "gui/win32/KeyButtons.h"

#include "gui/model/ProntoFont.h"
#include "platform/FileIo.h"

#include <algorithm>
#include <vector>

namespace corvalin::win32
{

namespace
{

bool HasFocus(HWND key)
{
    return (SendMessageW(key, BM_GETSTATE, 0, 0) & BST_FOCUS) != 0;
}

void DrawFocusOutline(HDC dc, int w, int h)
{
    if (w <= 0 || h <= 0)
        return;
    const POINT corners[] = {{0, 0}, {w - 1, 0}, {w - 1, h - 1}, {0, h - 1}, {0, 0}};
    Polyline(dc, corners, 5);
}

// Pronto.ttf beside the program (FindProntoFont), added for this process while it lives.
class CProntoFont
{
  public:
    CProntoFont()
    {
        if (const std::optional<std::filesystem::path> file = FindProntoFont(platform::ProgramFolder()))
        {
            m_strPath = file->wstring();
            m_bAdded = AddFontResourceExW(m_strPath.c_str(), FR_PRIVATE, nullptr) > 0;
        }
    }
    CProntoFont(const CProntoFont&) = delete;
    CProntoFont& operator=(const CProntoFont&) = delete;
    ~CProntoFont()
    {
        if (m_bAdded)
            RemoveFontResourceExW(m_strPath.c_str(), FR_PRIVATE, nullptr);
    }

  private:
    std::wstring m_strPath;
    bool m_bAdded = false;
};

void DrawCaption(HDC dc, const RECT& rect, const CSourceKeyLook& look)
{
    // A key made without a caption has no size for it either.
    if (look.m_strLabel.empty())
        return;
    // A missing font file leaves the caption to the system's stand-in for the face.
    CProntoFont pronto;
    HFONT font = CreateFontW(-CaptionPixelHeight(look.m_nDpi, look.m_nPointSize), 0, 0, 0, FW_NORMAL, FALSE,
                             FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, kProntoFace);
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    const uint32_t rgb = KeyCaptionRgb(look.m_nTextColor, look.m_bColourFile);
    SetTextColor(dc, RGB(BYTE(rgb >> 16), BYTE(rgb >> 8), BYTE(rgb)));
    RECT box = rect;
    // A label's "&" is a character of the remote, not a mnemonic.
    DrawTextW(dc, look.m_strLabel.c_str(), int(look.m_strLabel.size()), &box,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    DeleteObject(font);
}

} // namespace

int CaptionPixelHeight(int dpi, int points)
{
    return MulDiv(points, dpi, 72);
}

int WindowDpi(HWND window)
{
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow)
    {
        if (const UINT dpi = getDpiForWindow(window))
            return int(dpi);
    }
    HDC dc = GetDC(window);
    const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 0;
    if (dc)
        ReleaseDC(window, dc);
    return dpi > 0 ? dpi : kStandardDpi;
}

void DrawFunctionKey(const DRAWITEMSTRUCT& item, EIrProtocol protocol)
{
    HDC dc = item.hDC;
    RECT rect = item.rcItem;
    UINT state = DFCS_BUTTONPUSH;
    if (item.itemState & ODS_SELECTED)
        state |= DFCS_PUSHED;
    // The protocol, not the code, decides the look: EMPTY is "nothing assigned".
    if (protocol != EIrProtocol::Empty)
        state |= DFCS_FLAT;
    DrawFrameControl(dc, &rect, DFC_BUTTON, state);
    const int w = rect.right - rect.left;
    const int h = rect.bottom - rect.top;
    if (HasFocus(item.hwndItem))
    {
        const int saved = SaveDC(dc);
        SetViewportOrgEx(dc, rect.left, rect.top, nullptr);
        DrawFocusOutline(dc, w, h);
        RestoreDC(dc, saved);
    }
    wchar_t text[64] = {};
    const int length = GetWindowTextW(item.hwndItem, text, 64);
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, text, length, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

HBITMAP CreatePixelBitmap(HDC dc, int w, int h, void** bits)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return CreateDIBSection(dc, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

bool DrawSourceKey(const DRAWITEMSTRUCT& item, const CSourceKeyLook& look)
{
    const bool bFocus = HasFocus(item.hwndItem);
    const int w = item.rcItem.right - item.rcItem.left;
    const int h = item.rcItem.bottom - item.rcItem.top;
    if (w <= 0 || h <= 0)
        return bFocus;

    // Drawn off screen and copied in one go: a large picture pixel by pixel would
    // flicker and hold the window up.
    void* bits = nullptr;
    HBITMAP picture = CreatePixelBitmap(item.hDC, w, h, &bits);
    HDC dc = CreateCompatibleDC(item.hDC);
    if (!picture || !dc)
    {
        if (picture)
            DeleteObject(picture);
        if (dc)
            DeleteDC(dc);
        return bFocus;
    }
    HGDIOBJ oldBitmap = SelectObject(dc, picture);
    SelectObject(dc, GetCurrentObject(item.hDC, OBJ_FONT));

    RECT local = {0, 0, w, h};
    DrawFrameControl(dc, &local, DFC_BUTTON,
                     DFCS_BUTTONPUSH | ((item.itemState & ODS_SELECTED) ? DFCS_PUSHED : 0));
    GdiFlush();
    auto* pixels = static_cast<uint32_t*>(bits);
    // Each picture pixel becomes a block of dpi / 96 screen pixels on either side.
    const int dpi = std::max(1, look.m_nDpi);
    const int pw = std::min(w, MulDiv(look.m_picture.m_nWidth, dpi, kStandardDpi));
    const int ph = std::min(h, MulDiv(look.m_picture.m_nHeight, dpi, kStandardDpi));
    for (int y = 0; y < ph; ++y)
    {
        const int py = std::min(look.m_picture.m_nHeight - 1, y * kStandardDpi / dpi);
        for (int x = 0; x < pw; ++x)
        {
            const int px = std::min(look.m_picture.m_nWidth - 1, x * kStandardDpi / dpi);
            if (look.m_picture.IsSet(px, py))
                pixels[std::size_t(y) * std::size_t(w) + std::size_t(x)] = look.m_picture.Rgb(px, py);
        }
    }
    if (bFocus)
    {
        SelectObject(dc, GetStockObject(BLACK_PEN));
        DrawFocusOutline(dc, w, h);
    }
    DrawCaption(dc, local, look);
    BitBlt(item.hDC, item.rcItem.left, item.rcItem.top, w, h, dc, 0, 0, SRCCOPY);

    SelectObject(dc, oldBitmap);
    DeleteDC(dc);
    DeleteObject(picture);
    return bFocus;
}

} // namespace corvalin::win32

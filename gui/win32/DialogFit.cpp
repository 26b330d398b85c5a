#include "gui/win32/DialogFit.h"

#include "gui/win32/DialogWindow.h"
#include "gui/win32/KeyButtons.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace corvalin::win32
{

namespace
{

// The facts of an extended template's header that its size on screen depends on.
struct CTemplateHeader
{
    DWORD m_nStyle = 0;
    DWORD m_nExStyle = 0;
    int m_nWidth = 0;  // dialog units
    int m_nHeight = 0; // dialog units
    std::size_t m_nPointsOffset = 0;
    int m_nPoints = 0;
    int m_nWeight = FW_NORMAL;
    bool m_bItalic = false;
    BYTE m_nCharset = DEFAULT_CHARSET;
    std::wstring m_strFace;
};

WORD WordAt(const std::vector<BYTE>& bytes, std::size_t offset)
{
    WORD value = 0;
    std::memcpy(&value, bytes.data() + offset, sizeof(value));
    return value;
}

DWORD DwordAt(const std::vector<BYTE>& bytes, std::size_t offset)
{
    DWORD value = 0;
    std::memcpy(&value, bytes.data() + offset, sizeof(value));
    return value;
}

// Steps over a name or ordinal (a menu, a class) or a text (the caption, the face) at
// `offset`; false when it runs past the end.
bool SkipField(const std::vector<BYTE>& bytes, std::size_t& offset, bool bMayBeOrdinal, std::wstring* text)
{
    if (offset + 2 > bytes.size())
        return false;
    if (bMayBeOrdinal && WordAt(bytes, offset) == 0xFFFF)
    {
        offset += 4;
        return offset <= bytes.size();
    }
    for (; offset + 2 <= bytes.size(); offset += 2)
    {
        const WORD c = WordAt(bytes, offset);
        if (c == 0)
        {
            offset += 2;
            return true;
        }
        if (text)
            text->push_back(wchar_t(c));
    }
    return false;
}

// Reads the header of an extended template (DIALOGEX) with its own font.
bool ReadHeader(const std::vector<BYTE>& bytes, CTemplateHeader& header)
{
    constexpr std::size_t kFixedPart = 26;
    if (bytes.size() < kFixedPart || WordAt(bytes, 0) != 1 || WordAt(bytes, 2) != 0xFFFF)
        return false;
    header.m_nExStyle = DwordAt(bytes, 8);
    header.m_nStyle = DwordAt(bytes, 12);
    header.m_nWidth = static_cast<short>(WordAt(bytes, 22));
    header.m_nHeight = static_cast<short>(WordAt(bytes, 24));
    if (!(header.m_nStyle & (DS_SETFONT | DS_SHELLFONT)))
        return false;
    std::size_t offset = kFixedPart;
    if (!SkipField(bytes, offset, true, nullptr) || !SkipField(bytes, offset, true, nullptr) ||
        !SkipField(bytes, offset, false, nullptr) || offset + 6 > bytes.size())
        return false;
    header.m_nPointsOffset = offset;
    header.m_nPoints = WordAt(bytes, offset);
    header.m_nWeight = WordAt(bytes, offset + 2);
    header.m_bItalic = bytes[offset + 4] != 0;
    header.m_nCharset = bytes[offset + 5];
    offset += 6;
    return SkipField(bytes, offset, false, &header.m_strFace);
}

// The dialog font's base units at `points` and `dpi`, as the dialog manager takes them:
// the average width of the 52 letters and the character height.
SIZE BaseUnits(const CTemplateHeader& header, int points, int dpi)
{
    SIZE units{1, 1};
    HDC dc = GetDC(nullptr);
    HFONT font = CreateFontW(-MulDiv(points, dpi, 72), 0, 0, 0, header.m_nWeight, header.m_bItalic, FALSE,
                             FALSE, header.m_nCharset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, header.m_strFace.c_str());
    if (dc && font)
    {
        HGDIOBJ old = SelectObject(dc, font);
        TEXTMETRICW metrics{};
        SIZE letters{};
        static const wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
        if (GetTextMetricsW(dc, &metrics) && GetTextExtentPoint32W(dc, kLetters, 52, &letters))
            units = SIZE{std::max(1L, (letters.cx / 26 + 1) / 2), std::max(1L, metrics.tmHeight)};
        SelectObject(dc, old);
    }
    if (font)
        DeleteObject(font);
    if (dc)
        ReleaseDC(nullptr, dc);
    return units;
}

// The window's outer size when its template is drawn at `points`.
CPixelSize WindowSizeAt(const CTemplateHeader& header, int points, int dpi)
{
    const SIZE units = BaseUnits(header, points, dpi);
    RECT frame{0, 0, MulDiv(header.m_nWidth, units.cx, 4), MulDiv(header.m_nHeight, units.cy, 8)};
    const DWORD exStyle = header.m_nExStyle | ((header.m_nStyle & DS_MODALFRAME) ? WS_EX_DLGMODALFRAME : 0);
    AdjustWindowRectEx(&frame, header.m_nStyle, FALSE, exStyle);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

CPixelRect ToPixelRect(const RECT& rect)
{
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

} // namespace

CPixelRect WorkAreaOf(HWND window)
{
    HMONITOR monitor = window ? MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST)
                              : MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!monitor || !GetMonitorInfoW(monitor, &info))
        return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return ToPixelRect(info.rcWork);
}

CFittedTemplate FitDialogTemplate(int templateId, HWND owner)
{
    CFittedTemplate fitted;
    HRSRC found =
        FindResourceW(ResourceModule(), MAKEINTRESOURCEW(templateId), MAKEINTRESOURCEW(5)); // RT_DIALOG
    HGLOBAL loaded = found ? LoadResource(ResourceModule(), found) : nullptr;
    const BYTE* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (!data)
        return fitted;
    std::vector<BYTE> bytes(data, data + SizeofResource(ResourceModule(), found));
    CTemplateHeader header;
    if (!ReadHeader(bytes, header))
        return fitted;
    const int dpi = WindowDpi(owner);
    const CPixelRect area = WorkAreaOf(owner);
    const int points = FittingPointSize(header.m_nPoints, dpi, {area.m_nWidth, area.m_nHeight},
                                        [&](int candidate) { return WindowSizeAt(header, candidate, dpi); });
    if (points == header.m_nPoints)
        return fitted;
    fitted.m_nDesignCharWidth = BaseUnits(header, header.m_nPoints, dpi).cx;
    fitted.m_nFittedCharWidth = BaseUnits(header, points, dpi).cx;
    const WORD size = WORD(points);
    std::memcpy(bytes.data() + header.m_nPointsOffset, &size, sizeof(size));
    fitted.m_bytes = std::move(bytes);
    return fitted;
}

void PlaceDialog(HWND dialog)
{
    HWND owner = GetWindow(dialog, GW_OWNER);
    RECT rect{};
    GetWindowRect(dialog, &rect);
    RECT ownerRect{};
    CPixelRect over;
    if (owner && IsWindowVisible(owner) && !IsIconic(owner) && GetWindowRect(owner, &ownerRect))
        over = ToPixelRect(ownerRect);
    const CPixelRect place = PlaceCentred({rect.right - rect.left, rect.bottom - rect.top}, over,
                                          WorkAreaOf(owner ? owner : dialog));
    SetWindowPos(dialog, nullptr, place.m_nLeft, place.m_nTop, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace corvalin::win32

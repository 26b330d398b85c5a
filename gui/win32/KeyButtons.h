#pragma once
// Drawing of the code selection dialog's owner-drawn keys with GDI.
//
// A function key is a push-button frame, flat while it holds a code (a protocol other
// than 0), with its window text centred in the font the drawing context comes with.
// A source key is a push-button frame with the CCF button's picture over it and
// its label centred in the face "Pronto": the font file Pronto.ttf beside the program
// is added for this process while the caption is drawn and removed after.
// Both draw a one-pixel outline round the key while it has the keyboard focus.

#include "ir/IrProtocol.h"
#include "ir/KeyBitmap.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace corvalin::win32
{

constexpr const wchar_t* kProntoFace = L"Pronto";

// A key's place, size and picture are given in pixels of a 96 dots-per-inch screen.
constexpr int kStandardDpi = 96;

// The window's dots per inch: its monitor's for a program that is aware of each
// monitor (Windows 10 and later), else the system's.
int WindowDpi(HWND window);

struct CSourceKeyLook
{
    CGreyImage m_picture; // decoded once when the key is made
    std::wstring m_strLabel;
    // The caption's colour: the grey level of the low two bits, or from a colour file
    // the palette colour it indexes (KeyCaptionRgb).
    uint8_t m_nTextColor = 0;
    bool m_bColourFile = false;
    int m_nPointSize = 0; // 2 x fontSize + 6
    // The window's dots per inch: the picture's pixels and the caption are drawn
    // dpi / 96 times as large, as the key's place and size are.
    int m_nDpi = kStandardDpi;
};

void DrawFunctionKey(const DRAWITEMSTRUCT& item, EIrProtocol protocol);
// Returns whether the key had the keyboard focus while it was drawn.
bool DrawSourceKey(const DRAWITEMSTRUCT& item, const CSourceKeyLook& look);

// The caption's height in pixels for a size in points at `dpi` dots per inch.
int CaptionPixelHeight(int dpi, int points);

// A 32-bit top-down bitmap of w x h pixels for `dc`, whose pixels (0x00RRGGBB, rows
// from the top) are at *bits; null when it cannot be made.
HBITMAP CreatePixelBitmap(HDC dc, int w, int h, void** bits);

} // namespace corvalin::win32

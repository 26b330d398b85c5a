#pragma once
// How a dialog drawn from a template fits the screen: its size follows its font, so a
// dialog too large for the work area (a small screen at 144 or 192 dots per inch) is
// drawn in a smaller font, down to a floor; and where it goes: centred over its owner,
// or over the work area, and kept inside the work area.

#include <functional>

namespace corvalin
{

struct CPixelSize
{
    int m_nWidth = 0;
    int m_nHeight = 0;
};

struct CPixelRect
{
    int m_nLeft = 0;
    int m_nTop = 0;
    int m_nWidth = 0;
    int m_nHeight = 0;
};

// The smallest text a fitted dialog is drawn in, in screen pixels: a 6-point font at
// 96 dots per inch, which such screens have always shown. A dialog that does not fit
// even so is placed with its title and first controls in view.
inline constexpr int kSmallestTextPixels = 8;

// The largest point size from `designPoints` down to the floor at which the window,
// sizeAt(points) pixels with its frame, fits `area` on a screen of `dpi` device pixels
// per inch; the floor when none does. A design size at or below the floor is kept.
int FittingPointSize(int designPoints, int dpi, CPixelSize area,
                     const std::function<CPixelSize(int points)>& sizeAt);

// Where a window of `size` goes: centred over `owner` (or over `area` when there is no
// owner, an empty rectangle), then moved inside `area` as far as it fits.
CPixelRect PlaceCentred(CPixelSize size, const CPixelRect& owner, const CPixelRect& area);

} // namespace corvalin

#pragma once
// Places controls from dialog-template rectangles. A dialog unit is a quarter of the
// dialog font's average character width across and an eighth of its height down, so
// a window keeps its proportions with any font size or screen density.

#include <QFont>
#include <QRect>
#include <QWidget>

#include <functional>

namespace corvalin
{

struct CBaseUnits
{
    int m_nX = 0; // average character width in pixels
    int m_nY = 0; // character height in pixels
};

// The base units of a font: the average width of the 52 letters, rounded, and the
// full character height.
CBaseUnits BaseUnitsOf(const QFont& font);

// A font of `points` points in which every printable ASCII character has the same
// advance, so the columns of the parameter list line up: the system's fixed font when
// it is so, else the first evenly spaced one of a few common monospaced families.
QFont FixedPitchFont(int points);

// True when every printable ASCII character of `font` advances by the same width.
bool HasEvenAdvances(const QFont& font);

// The pixel rectangle of a template rectangle given in dialog units.
QRect DialogUnitsToPixels(const CBaseUnits& units, int x, int y, int width, int height);

// The point size, at most `designPoints`, at which a template of widthDu x heightDu
// dialog units in fontAt(points) fits, with a title bar, the available geometry of
// the screen `dialog` opens on (its parent's, or the primary one).
int FittingDialogPoints(const QWidget& dialog, int designPoints, int widthDu, int heightDu,
                        const std::function<QFont(int points)>& fontAt);

} // namespace corvalin

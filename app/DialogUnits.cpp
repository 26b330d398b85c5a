#include "app/DialogUnits.h"

#include <QFontMetrics>

namespace corvalin
{

namespace
{

// a * b / c rounded to the nearest integer, as the template conversion has it.
int ScaleRounded(int a, int b, int c)
{
    return (a * b + c / 2) / c;
}

} // namespace

CBaseUnits BaseUnitsOf(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    CBaseUnits units;
    units.m_nX = (letters / 26 + 1) / 2;
    units.m_nY = metrics.height();
    return units;
}

QRect DialogUnitsToPixels(const CBaseUnits& units, int x, int y, int width, int height)
{
    return QRect(ScaleRounded(x, units.m_nX, 4), ScaleRounded(y, units.m_nY, 8),
                 ScaleRounded(width, units.m_nX, 4), ScaleRounded(height, units.m_nY, 8));
}

} // namespace corvalin

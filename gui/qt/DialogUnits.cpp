#include "gui/qt/DialogUnits.h"

#include "gui/model/WindowFit.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QScreen>
#include <QStyle>

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
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    CBaseUnits units;
    units.m_nX = (letters / 26 + 1) / 2;
    units.m_nY = metrics.height();
    return units;
}

bool HasEvenAdvances(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int advance = metrics.horizontalAdvance(QLatin1Char(' '));
    for (char c = '!'; c <= '~'; ++c)
        if (metrics.horizontalAdvance(QLatin1Char(c)) != advance)
            return false;
    return advance > 0;
}

QFont FixedPitchFont(int points)
{
    // Fontconfig may answer "monospace" with a font that does not call itself fixed-pitch
    // (Noto Sans Mono) or, on a bare system, with a proportional one; the advances tell.
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(points);
    if (HasEvenAdvances(font))
        return font;
    for (const char* family : {"DejaVu Sans Mono", "Liberation Mono", "Noto Sans Mono", "Noto Mono",
                               "Courier New", "Consolas", "Courier"})
    {
        QFont candidate(QString::fromLatin1(family), points);
        candidate.setStyleHint(QFont::TypeWriter);
        if (HasEvenAdvances(candidate))
            return candidate;
    }
    return font;
}

QRect DialogUnitsToPixels(const CBaseUnits& units, int x, int y, int width, int height)
{
    return QRect(ScaleRounded(x, units.m_nX, 4), ScaleRounded(y, units.m_nY, 8),
                 ScaleRounded(width, units.m_nX, 4), ScaleRounded(height, units.m_nY, 8));
}

int FittingDialogPoints(const QWidget& dialog, int designPoints, int widthDu, int heightDu,
                        const std::function<QFont(int points)>& fontAt)
{
    const QWidget* placed = dialog.parentWidget() ? dialog.parentWidget() : &dialog;
    const QScreen* screen = placed->screen();
    if (!screen)
        return designPoints;
    const QRect area = screen->availableGeometry();
    // The window manager's frame is not known before the window shows; a title bar of
    // the style's height stands for it.
    const int titleBar = dialog.style()->pixelMetric(QStyle::PM_TitleBarHeight);
    const int dpi = int(screen->logicalDotsPerInch() * screen->devicePixelRatio());
    return FittingPointSize(designPoints, dpi, {area.width(), area.height()},
                            [&](int points)
                            {
                                const QRect size =
                                    DialogUnitsToPixels(BaseUnitsOf(fontAt(points)), 0, 0, widthDu, heightDu);
                                return CPixelSize{size.width(), size.height() + titleBar};
                            });
}

} // namespace corvalin

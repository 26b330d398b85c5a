#include "gui/qt/KeyButtonPainting.h"

#include <QAbstractButton>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

namespace corvalin
{

void DrawPushFrame(QPainter& painter, const QAbstractButton& button, bool bFlat)
{
    QStyleOptionButton option;
    option.initFrom(&button);
    option.rect = button.rect();
    // The keys draw their own focus outline; the style's would be a second one.
    option.state &= ~QStyle::State_HasFocus;
    option.state |= button.isDown() ? QStyle::State_Sunken : QStyle::State_Raised;
    if (bFlat)
    {
        option.features |= QStyleOptionButton::Flat;
        // A flat button without a bevel would vanish into the dialog; it keeps a border.
        if (!button.isDown())
        {
            painter.fillRect(option.rect, button.palette().button());
            painter.save();
            painter.setPen(button.palette().color(QPalette::Mid));
            painter.drawRect(option.rect.adjusted(0, 0, -1, -1));
            painter.restore();
            return;
        }
    }
    button.style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, &button);
}

void DrawFocusOutline(QPainter& painter, int w, int h)
{
    if (w <= 0 || h <= 0)
        return;
    const QPoint corners[] = {{0, 0}, {w - 1, 0}, {w - 1, h - 1}, {0, h - 1}};
    painter.drawPolygon(corners, 4);
}

QImage ToQImage(const CGreyImage& grey)
{
    QImage image(grey.m_nWidth, grey.m_nHeight, QImage::Format_ARGB32);
    if (image.isNull())
        return image;
    for (int y = 0; y < grey.m_nHeight; ++y)
    {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < grey.m_nWidth; ++x)
        {
            line[x] = grey.IsSet(x, y) ? 0xFF000000u | grey.Rgb(x, y) : qRgba(0, 0, 0, 0);
        }
    }
    return image;
}

} // namespace corvalin

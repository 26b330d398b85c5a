// corvalin-mkicon FILE.png [SIZE]: draws the application icon, a navy tile with a
// green progress ring and a white arrow into a chip, and saves it as a PNG. The
// committed res/corvalin.png was made with it; the Linux build draws the desktop theme
// icons (48, 64, 128 and 256 px) with it. Run it again to change the emblem.

#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <cstdlib>

namespace
{

QImage DrawIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 256.0, size / 256.0);

    // The tile.
    QLinearGradient tile(0, 0, 0, 256);
    tile.setColorAt(0, QColor(0x1E, 0x3A, 0x8A));
    tile.setColorAt(1, QColor(0x0B, 0x16, 0x40));
    painter.setPen(Qt::NoPen);
    painter.setBrush(tile);
    painter.drawRoundedRect(QRectF(8, 8, 240, 240), 44, 44);

    // The progress ring, three quarters full.
    QPen ring(QColor(0x3D, 0xDC, 0x6B), 18, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(ring);
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(40, 40, 176, 176), 90 * 16, -270 * 16);
    painter.setPen(QPen(QColor(255, 255, 255, 40), 18, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(QRectF(40, 40, 176, 176), 180 * 16, -90 * 16);

    // The chip with its pins.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xE8, 0xEE, 0xF8));
    for (int i = 0; i < 3; ++i)
    {
        const qreal offset = 104 + i * 20;
        painter.drawRect(QRectF(offset, 150, 8, 22));
    }
    painter.drawRoundedRect(QRectF(92, 140, 72, 18), 4, 4);

    // The arrow pointing down into the chip: the image going to the box.
    QPainterPath arrow;
    arrow.moveTo(118, 72);
    arrow.lineTo(138, 72);
    arrow.lineTo(138, 104);
    arrow.lineTo(156, 104);
    arrow.lineTo(128, 134);
    arrow.lineTo(100, 104);
    arrow.lineTo(118, 104);
    arrow.closeSubpath();
    painter.setBrush(Qt::white);
    painter.drawPath(arrow);
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    if (argc < 2 || argc > 3)
    {
        std::fprintf(stderr, "usage: corvalin-mkicon FILE.png [SIZE]\n");
        return 2;
    }
    const int size = argc == 3 ? std::atoi(argv[2]) : 256;
    if (size < 16 || size > 1024 || !DrawIcon(size).save(QString::fromLocal8Bit(argv[1]), "PNG"))
    {
        std::fprintf(stderr, "corvalin-mkicon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}

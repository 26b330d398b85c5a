#include "tests/gui_ir/IrGuiTestSupport.h"

#include <QDir>
#include <QPixmap>
#include <QWidget>

#include <string>

namespace corvalin::irguitest
{

using namespace corvalin::fixtures;

QString SaveScreenshot(QWidget* widget, const QString& name)
{
    QDir().mkpath(QStringLiteral(CORVALIN_SCREENSHOT_DIR));
    const QString path = QStringLiteral(CORVALIN_SCREENSHOT_DIR "/%1.png").arg(name);
    return widget->grab().save(path, "PNG") ? path : QString();
}

QImage GrabPixels(QWidget* widget)
{
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

int GreyAt(const QImage& image, int x, int y)
{
    const QRgb pixel = image.pixel(x, y);
    if (qRed(pixel) != qGreen(pixel) || qGreen(pixel) != qBlue(pixel))
        return -1;
    return qRed(pixel);
}

QString ToQString(const std::filesystem::path& path)
{
    return QString::fromStdString(path.string());
}

Bytes BuildRemoteWithoutCodes()
{
    CCcfBuilder ccf;
    CCcfButton inert;
    inert.name = ccf.Name("Vol+");
    ccf.SetHeaderPanels(ccf.Panel("Nothing", {ButtonAt(0, 0, ccf.Button(inert))}));
    return ccf.Build();
}

Bytes BuildRemoteWithKeys(int count)
{
    CCcfBuilder ccf;
    std::vector<CCcfChild> keys;
    for (int n = 0; n < count; ++n)
    {
        const auto x = uint16_t(n % 10 * 24);
        const auto y = uint16_t(n / 10 * 12);
        const uint32_t button = ccf.IrButton("K" + std::to_string(n), NecCode(1, uint8_t(n)), 0, 24, 12);
        keys.push_back(ButtonAt(x, y, button));
    }
    ccf.SetHeaderPanels(ccf.Panel("Many", keys));
    return ccf.Build();
}

} // namespace corvalin::irguitest

#include "tests/gui/GuiTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTest>
#include <QTimer>

namespace corvalin::guitest
{

QString SaveScreenshot(QWidget* widget, const QString& name)
{
    QDir().mkpath(QStringLiteral(CORVALIN_SCREENSHOT_DIR));
    const QString path = QStringLiteral(CORVALIN_SCREENSHOT_DIR "/%1.png").arg(name);
    return widget->grab().save(path, "PNG") ? path : QString();
}

CModalDriver::CModalDriver(QWidget* below, std::function<void(QWidget* dialog)> action)
    : m_pBelow(below), m_action(std::move(action)), m_pTimer(new QTimer)
{
    m_pTimer->setInterval(10);
    QObject::connect(m_pTimer, &QTimer::timeout,
                     [this]
                     {
                         QWidget* modal = QApplication::activeModalWidget();
                         if (modal && modal != m_pBelow && modal->isVisible())
                         {
                             m_pTimer->stop();
                             m_bActed = true;
                             m_action(modal);
                         }
                         else if (++m_nTicks > 500)
                             m_pTimer->stop();
                     });
    m_pTimer->start();
}

CModalDriver::~CModalDriver()
{
    delete m_pTimer;
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!condition())
    {
        if (elapsed.elapsed() > timeoutMs)
            return false;
        QTest::qWait(5);
    }
    return true;
}

std::filesystem::path WriteImage(const std::filesystem::path& path, const fixtures::CImageSpec& imageSpec)
{
    fixtures::WriteFileBytes(path, fixtures::BuildImageFile(imageSpec));
    return path;
}

QString ToQString(const std::filesystem::path& path)
{
    return QString::fromStdString(path.string());
}

} // namespace corvalin::guitest

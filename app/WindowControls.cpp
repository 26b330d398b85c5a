#include "app/WindowControls.h"

#include <QColor>
#include <QLabel>
#include <QPalette>
#include <QProgressBar>
#include <QStyle>
#include <QStyleFactory>

#include <algorithm>

namespace corvalin
{

CQtStatusControl::CQtStatusControl(CUiDispatcher& dispatcher, QLabel* label)
    : m_dispatcher(dispatcher), m_pLabel(label)
{
}

void CQtStatusControl::SetText(const std::string& text)
{
    const QString shown = QString::fromStdString(text);
    m_dispatcher.Run([this, shown] {
        m_pLabel->setText(shown);
        emit TextShown(shown);
    });
}

QColor BarColorToQColor(uint32_t color)
{
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

CQtProgressControl::CQtProgressControl(CUiDispatcher& dispatcher, QProgressBar* bar)
    : m_dispatcher(dispatcher), m_pBar(bar), m_pStyle(QStyleFactory::create(QStringLiteral("Fusion")))
{
    if (m_pStyle)
        m_pBar->setStyle(m_pStyle.get());
}

CQtProgressControl::~CQtProgressControl()
{
    // The bar may outlive this object for a moment; it must not keep a dead style.
    if (m_pStyle && m_pBar->style() == m_pStyle.get())
        m_pBar->setStyle(nullptr);
}

void CQtProgressControl::SetRange(int minimum, int maximum)
{
    m_dispatcher.Run([this, minimum, maximum] { m_pBar->setRange(minimum, maximum); });
}

void CQtProgressControl::SetPos(int position)
{
    m_dispatcher.Run([this, position] {
        m_pBar->setValue(std::clamp(position, m_pBar->minimum(), m_pBar->maximum()));
    });
}

void CQtProgressControl::SetBarColor(uint32_t color)
{
    m_dispatcher.Run([this, color] {
        QPalette palette = m_pBar->palette();
        palette.setColor(QPalette::Highlight, BarColorToQColor(color));
        m_pBar->setPalette(palette);
    });
}

} // namespace corvalin

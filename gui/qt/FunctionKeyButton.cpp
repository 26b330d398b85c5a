#include "gui/qt/FunctionKeyButton.h"

#include "gui/qt/KeyButtonPainting.h"

#include <QPainter>

namespace corvalin
{

CFunctionKeyButton::CFunctionKeyButton(const QString& caption, QWidget* parent) : QAbstractButton(parent)
{
    setText(caption);
}

CFunctionKeyButton::~CFunctionKeyButton() = default;

void CFunctionKeyButton::AssignCode(int protocol, uint32_t code)
{
    m_nProtocol = protocol;
    m_nCode = code;
    update();
}

void CFunctionKeyButton::ClearCode()
{
    AssignCode(0, 0);
}

void CFunctionKeyButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // The protocol, not the code, decides the look: protocol 0 is "nothing assigned".
    DrawPushFrame(painter, *this, m_nProtocol != 0);
    if (hasFocus())
    {
        painter.setPen(Qt::black);
        DrawFocusOutline(painter, width(), height());
    }
    painter.setPen(palette().color(QPalette::ButtonText));
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
}

} // namespace corvalin

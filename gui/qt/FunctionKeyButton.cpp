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

void CFunctionKeyButton::AssignCode(EIrProtocol protocol, uint32_t code)
{
    m_eProtocol = protocol;
    m_nCode = code;
    update();
}

void CFunctionKeyButton::ClearCode()
{
    AssignCode(EIrProtocol::Empty, 0);
}

void CFunctionKeyButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // The protocol, not the code, decides the look: EMPTY is "nothing assigned".
    DrawPushFrame(painter, *this, m_eProtocol != EIrProtocol::Empty);
    if (hasFocus())
    {
        painter.setPen(Qt::black);
        DrawFocusOutline(painter, width(), height());
    }
    painter.setPen(palette().color(QPalette::ButtonText));
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
}

} // namespace corvalin

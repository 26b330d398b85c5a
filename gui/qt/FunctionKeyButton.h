#pragma once
// A function key of the code selection dialog: one steering-wheel function of the
// box, holding the IR protocol and code assigned to it. It looks flat while it holds
// a code of a real protocol.

#include "ir/IrProtocol.h"

#include <QAbstractButton>

#include <cstdint>

namespace corvalin
{

class CFunctionKeyButton : public QAbstractButton
{
    Q_OBJECT

  public:
    explicit CFunctionKeyButton(const QString& caption, QWidget* parent = nullptr);
    ~CFunctionKeyButton() override;

    // Both store the pair and have the key drawn anew.
    void AssignCode(EIrProtocol protocol, uint32_t code);
    void ClearCode();

    EIrProtocol Protocol() const { return m_eProtocol; }
    uint32_t Code() const { return m_nCode; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    EIrProtocol m_eProtocol = EIrProtocol::Empty; // nothing assigned
    uint32_t m_nCode = 0;
};

} // namespace corvalin

#pragma once
// A source key of the code selection dialog: one IR key record of a CCF file, drawn
// as a push button with the record's bitmap and its caption in the Pronto font, and
// carrying the record's IR protocol and code.

#include "ir/IrProtocol.h"

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QSize>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace corvalin
{

class CSourceKeyButton : public QAbstractButton
{
    Q_OBJECT

  public:
    explicit CSourceKeyButton(QWidget* parent = nullptr);
    ~CSourceKeyButton() override;

    // The pixel data lies in the CCF image of the dialog's reader, which outlives the
    // key; `available` is the number of bytes from `pBitmap` to the end of that image.
    // The picture is `picture` pixels large (the CCF button's size), or as large as
    // the key is now when `picture` is not given. It is decoded here, once, and only its
    // top-left kMaxKeySide x kMaxKeySide pixels are kept: painting draws the result.
    // `colourFile`: the bitmap comes from a colour CCF file. No redraw.
    void SetBitmap(uint16_t flags, const uint8_t* pBitmap, std::size_t available, QSize picture = QSize(),
                   bool colourFile = false);
    // The caption is drawn at 2 * fontSize + 6 points in the grey level textColor & 3,
    // or, from a colour file, in the palette colour textColor.
    void SetCaption(const QString& label, uint8_t textColor, int fontSize, bool colourFile = false);
    void SetCode(EIrProtocol protocol, uint32_t code);
    // The picture is drawn `scale` times as large across and down, the caption as the
    // height goes (the dialog's font was made smaller to fit the screen); no redraw.
    void SetScale(QSizeF scale) { m_scale = scale; }

    EIrProtocol Protocol() const { return m_eProtocol; }
    uint32_t Code() const { return m_nCode; }
    const QString& Label() const { return m_strLabel; }
    int PointSize() const { return m_nPointSize; }
    QColor CaptionColor() const;
    // The font the caption is drawn in: face "Pronto", or the system's stand-in for it.
    QFont CaptionFont() const;

  signals:
    // The key was drawn while another control had the keyboard focus; a toggle the
    // dialog holds for it is withdrawn.
    void DrawnWithoutFocus();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void DrawCaption(QPainter& painter);

    int m_nPointSize = 0;
    QSizeF m_scale{1.0, 1.0};
    uint8_t m_nTextColor = 0;
    bool m_bColourFile = false; // m_nTextColor is a palette index
    EIrProtocol m_eProtocol = EIrProtocol::Empty;
    uint32_t m_nCode = 0;
    QString m_strLabel;
    int m_nWidth = 0;
    int m_nHeight = 0;
    const uint8_t* m_pBitmap = nullptr;
    uint16_t m_wBitmapFlags = 0;
    QImage m_picture; // the decoded bitmap; null without one
};

} // namespace corvalin

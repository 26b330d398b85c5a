#include "gui/qt/SourceKeyButton.h"

#include "gui/model/ProntoFont.h"
#include "gui/qt/KeyButtonPainting.h"
#include "ir/KeyBitmap.h"
#include "platform/FileIo.h"

#include <QFontDatabase>
#include <QPainter>

namespace corvalin
{

namespace
{

// The caption font's file, looked for in the working directory, and its face.
const QString kProntoFace = QStringLiteral("Pronto");

} // namespace

CSourceKeyButton::CSourceKeyButton(QWidget* parent) : QAbstractButton(parent) {}

CSourceKeyButton::~CSourceKeyButton() = default;

void CSourceKeyButton::SetBitmap(uint16_t flags, const uint8_t* pBitmap, std::size_t available, QSize picture,
                                 bool colourFile)
{
    m_wBitmapFlags = flags;
    m_pBitmap = pBitmap;
    if (!picture.isValid())
        picture = size();
    const CGreyImage grey = DecodeKeyBitmap(flags, pBitmap, available, picture.width(), picture.height(),
                                            kMaxKeySide, kMaxKeySide, colourFile);
    m_picture = grey.m_nWidth > 0 ? ToQImage(grey) : QImage();
}

void CSourceKeyButton::SetCaption(const QString& label, uint8_t textColor, int fontSize, bool colourFile)
{
    m_strLabel = label;
    m_nTextColor = textColor;
    m_bColourFile = colourFile;
    m_nPointSize = 2 * fontSize + 6;
}

void CSourceKeyButton::SetCode(EIrProtocol protocol, uint32_t code)
{
    m_eProtocol = protocol;
    m_nCode = code;
}

QColor CSourceKeyButton::CaptionColor() const
{
    return QColor(QRgb(KeyCaptionRgb(m_nTextColor, m_bColourFile)));
}

QFont CSourceKeyButton::CaptionFont() const
{
    QFont font(kProntoFace);
    if (m_scale.height() == 1.0)
        font.setPointSize(m_nPointSize);
    else
        font.setPointSizeF(m_nPointSize * m_scale.height());
    return font;
}

void CSourceKeyButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    DrawPushFrame(painter, *this, false);
    m_nWidth = width();
    m_nHeight = height();
    // Decoded once by SetBitmap: a large picture at every drawing would hold the window up.
    if (m_pBitmap && m_nWidth != 0 && m_nHeight != 0 && !m_picture.isNull())
        painter.drawImage(
            QRectF(0, 0, m_picture.width() * m_scale.width(), m_picture.height() * m_scale.height()),
            m_picture);
    const bool bFocus = hasFocus();
    if (bFocus)
    {
        painter.setPen(Qt::black);
        DrawFocusOutline(painter, m_nWidth, m_nHeight);
    }
    DrawCaption(painter);
    if (!bFocus)
        emit DrawnWithoutFocus();
}

void CSourceKeyButton::DrawCaption(QPainter& painter)
{
    // A key made without a caption has no size for it either (0 points).
    if (m_strLabel.isEmpty())
        return;
    // The font file joins the application's fonts only while the caption is drawn; a
    // missing file leaves the caption to the system's stand-in for the face.
    const std::optional<std::filesystem::path> file = FindProntoFont(platform::ProgramFolder());
    const int fontId =
        file ? QFontDatabase::addApplicationFont(QString::fromStdU16String(file->u16string())) : -1;
    painter.setFont(CaptionFont());
    painter.setPen(CaptionColor());
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, m_strLabel);
    if (fontId >= 0)
        QFontDatabase::removeApplicationFont(fontId);
}

} // namespace corvalin

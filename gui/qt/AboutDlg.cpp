#include "gui/qt/AboutDlg.h"

#include "gui/qt/AppIcon.h"
#include "gui/qt/DialogUnits.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace corvalin
{

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Corvalin"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setObjectName(QStringLiteral("aboutDialog"));

    // The box's template is laid out in an 8-point sans-serif face.
    QFont font = QApplication::font();
    font.setPointSize(8);
    setFont(font);
    const CBaseUnits units = BaseUnitsOf(font);
    setFixedSize(DialogUnitsToPixels(units, 0, 0, 235, 55).size());

    const int iconSize = style()->pixelMetric(QStyle::PM_LargeIconSize);
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    icon->setPixmap(AppIcon().pixmap(iconSize, iconSize));
    icon->setGeometry(QRect(DialogUnitsToPixels(units, 11, 17, 0, 0).topLeft(), QSize(iconSize, iconSize)));

    auto* text = new QLabel(QStringLiteral("Corvalin Version 1.0"), this);
    text->setObjectName(QStringLiteral("aboutText"));
    text->setGeometry(DialogUnitsToPixels(units, 40, 10, 119, 8));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("aboutOk"));
    ok->setDefault(true);
    ok->setGeometry(DialogUnitsToPixels(units, 178, 7, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace corvalin

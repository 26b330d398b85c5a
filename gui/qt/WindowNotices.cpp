#include "gui/qt/WindowNotices.h"

#include <QMessageBox>
#include <QPushButton>

namespace corvalin
{

namespace
{

QMessageBox::Icon BoxIcon(EMessageIcon icon)
{
    switch (icon)
    {
    case EMessageIcon::Information:
        return QMessageBox::Information;
    case EMessageIcon::Warning:
        return QMessageBox::Warning;
    case EMessageIcon::Error:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QMessageBox* NewMessageBox(QWidget* parent, const QString& text, EMessageIcon icon)
{
    auto* box = new QMessageBox(BoxIcon(icon), QStringLiteral("Corvalin"), text, QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("messageBox"));
    return box;
}

void ShowMessageBox(QWidget* parent, const QString& text, EMessageIcon icon)
{
    QMessageBox* box = NewMessageBox(parent, text, icon);
    box->exec();
    delete box;
}

bool AskYesNoBox(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Corvalin"), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setObjectName(QStringLiteral("questionBox"));
    box.setDefaultButton(QMessageBox::No);
    box.button(QMessageBox::Yes)->setObjectName(QStringLiteral("yesButton"));
    box.button(QMessageBox::No)->setObjectName(QStringLiteral("noButton"));
    return box.exec() == QMessageBox::Yes;
}

} // namespace corvalin

#include "gui/qt/WindowNotices.h"

#include <QMessageBox>

namespace corvalin
{

QMessageBox* NewMessageBox(QWidget* parent, const QString& text)
{
    auto* box =
        new QMessageBox(QMessageBox::NoIcon, QStringLiteral("Corvalin"), text, QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("messageBox"));
    return box;
}

void ShowMessageBox(QWidget* parent, const QString& text)
{
    QMessageBox* box = NewMessageBox(parent, text);
    box->exec();
    delete box;
}

} // namespace corvalin

#include "app/WindowNotices.h"

#include "device/CompletionSound.h"
#include "device/Updater.h"

#include <QMessageBox>

namespace corvalin
{

namespace
{

QMessageBox* NewMessageBox(QWidget* parent, const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("Corvalin"), text, QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("messageBox"));
    return box;
}

} // namespace

void ShowMessageBox(QWidget* parent, const QString& text)
{
    QMessageBox* box = NewMessageBox(parent, text);
    box->exec();
    delete box;
}

CQtUpdateNotices::CQtUpdateNotices(CUiDispatcher& dispatcher, QWidget* window, CUpdater& updater)
    : m_dispatcher(dispatcher), m_pWindow(window), m_updater(updater)
{
}

void CQtUpdateNotices::ShowMessage(const std::string& text)
{
    const QString shown = QString::fromStdString(text);
    m_dispatcher.Run([this, shown] {
        // Window-modal and not waited for here: the window's thread goes on serving
        // the status line and the bar while the worker waits for the user.
        QMessageBox* box = NewMessageBox(m_pWindow, shown);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::WindowModal);
        connect(box, &QMessageBox::finished, this, [this] { m_updater.DismissMessage(); });
        m_pMessage = box;
        box->open();
        emit MessageShown(shown);
    });
}

void CQtUpdateNotices::PlayCompletionSound(const std::atomic<bool>& stop)
{
    PlayCompletionChime(stop);
}

} // namespace corvalin

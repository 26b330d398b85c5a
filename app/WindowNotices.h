#pragma once
// The worker's notices in the window: the "not compatible" message shown by the
// window's thread while the worker waits for it, and the completion sound.

#include "app/UiDispatcher.h"
#include "device/UpdaterControls.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;

namespace corvalin
{

class CUpdater;

// A message box with the application's name as its caption and one OK button.
void ShowMessageBox(QWidget* parent, const QString& text);

class CQtUpdateNotices : public QObject, public IUpdateNotices
{
    Q_OBJECT

public:
    CQtUpdateNotices(CUiDispatcher& dispatcher, QWidget* window, CUpdater& updater);

    // Opens the box without waiting for it; closing it releases the worker.
    void ShowMessage(const std::string& text) override;
    void PlayCompletionSound(const std::atomic<bool>& stop) override;

    // The message box while it is open, else null.
    QMessageBox* OpenMessage() const { return m_pMessage; }

signals:
    void MessageShown(const QString& text);

private:
    CUiDispatcher& m_dispatcher;
    QWidget* m_pWindow;
    CUpdater& m_updater;
    QPointer<QMessageBox> m_pMessage;
};

} // namespace corvalin

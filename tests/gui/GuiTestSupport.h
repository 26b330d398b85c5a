#pragma once
// Helpers shared by the Qt tests: screenshots, driving modal dialogs, waiting for a
// condition while the event loop runs, and image files on disk.

#include "tools/fixtures/ImageBuilder.h"

#include <QString>
#include <QTimer>
#include <QWidget>

#include <filesystem>
#include <functional>

namespace corvalin::guitest
{

// The window's child control of that object name; a missing one ends the test
// program, since every later step would only fail less clearly.
template <typename T> T* Control(QWidget* window, const char* name)
{
    T* control = window->findChild<T*>(QString::fromLatin1(name));
    if (!control)
        qFatal("no control %s", name);
    return control;
}

// Saves what the widget shows as NAME.png in the build folder's screenshots/.
// Returns the file's path (empty when it could not be written).
QString SaveScreenshot(QWidget* widget, const QString& name);

// Runs an action on the next modal dialog that opens above `below`, from the event
// loop while the code that opened the dialog waits in it. Gives up after a few
// seconds; the destructor stops the watch, so the action never outlives its test.
class CModalDriver
{
  public:
    CModalDriver(QWidget* below, std::function<void(QWidget* dialog)> action);
    ~CModalDriver();
    CModalDriver(const CModalDriver&) = delete;
    CModalDriver& operator=(const CModalDriver&) = delete;

    bool Acted() const { return m_bActed; }

  private:
    QWidget* m_pBelow;
    std::function<void(QWidget*)> m_action;
    QTimer* m_pTimer;
    int m_nTicks = 0;
    bool m_bActed = false;
};

// Runs the event loop until `condition` holds or `timeoutMs` passes; the result
// tells which.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 5000);

// Writes a firmware image file with these parameters; returns its path.
std::filesystem::path WriteImage(const std::filesystem::path& path, const fixtures::CImageSpec& imageSpec);

QString ToQString(const std::filesystem::path& path);

} // namespace corvalin::guitest

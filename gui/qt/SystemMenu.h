#pragma once
// The About entry in the window system's menu of a window. Windows has such a menu
// and the entry goes there; elsewhere Qt cannot reach it and these calls do nothing
// (the window offers the entry in its context menu and on F1 instead).

#include <QByteArray>
#include <QString>

class QWidget;

namespace corvalin
{

// The entry's command id: its low four bits are free for the system's own use.
constexpr unsigned kAboutCommand = 0x0010;

// Appends a separator and the entry `text` (when not empty) to the window's system menu.
void AddAboutToSystemMenu(QWidget* window, const QString& text);

// Whether a native event is the system-menu command of the About entry.
bool IsAboutSystemCommand(const QByteArray& eventType, void* message);

} // namespace corvalin

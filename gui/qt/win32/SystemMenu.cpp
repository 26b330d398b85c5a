#include "gui/qt/SystemMenu.h"

#include <QWidget>

#include <windows.h>

namespace corvalin
{

void AddAboutToSystemMenu(QWidget* window, const QString& text)
{
    if (text.isEmpty())
        return;
    HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(window->winId()), FALSE);
    if (!menu)
        return;
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kAboutCommand, reinterpret_cast<const wchar_t*>(text.utf16()));
}

bool IsAboutSystemCommand(const QByteArray& eventType, void* message)
{
    if (eventType != "windows_generic_MSG")
        return false;
    const MSG* msg = static_cast<const MSG*>(message);
    return msg->message == WM_SYSCOMMAND && (msg->wParam & 0xFFF0) == kAboutCommand;
}

} // namespace corvalin

#include "gui/qt/SystemMenu.h"

namespace corvalin
{

void AddAboutToSystemMenu(QWidget*, const QString&) {}

bool IsAboutSystemCommand(const QByteArray&, void*)
{
    return false;
}

} // namespace corvalin

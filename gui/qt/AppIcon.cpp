#include "gui/qt/AppIcon.h"

namespace corvalin
{

QIcon AppIcon()
{
    return QIcon(QStringLiteral(":/corvalin/corvalin.png"));
}

} // namespace corvalin

#pragma once
// The application icon, embedded in the program as a resource.

#include <QIcon>

namespace corvalin
{

QIcon AppIcon();

} // namespace corvalin

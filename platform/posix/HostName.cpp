#include "platform/HostName.h"

#include <unistd.h>

namespace corvalin::platform
{

std::string HostName()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

} // namespace corvalin::platform

#include "platform/Terminal.h"

#include <poll.h>
#include <unistd.h>

namespace corvalin::platform
{

bool IsTerminal(EStdStream stream)
{
    return isatty(stream == EStdStream::Input ? STDIN_FILENO : STDERR_FILENO) != 0;
}

bool WaitForInput(int milliseconds)
{
    pollfd entry{STDIN_FILENO, POLLIN, 0};
    return poll(&entry, 1, milliseconds) > 0;
}

CUtf8Console::CUtf8Console() = default;

CUtf8Console::~CUtf8Console() = default;

} // namespace corvalin::platform

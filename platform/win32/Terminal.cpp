#include "platform/Terminal.h"

#include <windows.h>

#include <io.h>
#include <stdio.h>

namespace corvalin::platform
{

bool IsTerminal(StdStream stream)
{
    return _isatty(_fileno(stream == StdStream::Input ? stdin : stderr)) != 0;
}

bool WaitForInput(int milliseconds)
{
    // A console input handle is signalled while input events are waiting.
    return WaitForSingleObject(GetStdHandle(STD_INPUT_HANDLE), DWORD(milliseconds)) == WAIT_OBJECT_0;
}

} // namespace corvalin::platform

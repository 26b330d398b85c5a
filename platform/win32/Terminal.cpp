#include "platform/Terminal.h"

#include <windows.h>

#include <io.h>
#include <stdio.h>

#include <cstdio>

namespace corvalin::platform
{

bool IsTerminal(EStdStream stream)
{
    return _isatty(_fileno(stream == EStdStream::Input ? stdin : stderr)) != 0;
}

bool WaitForInput(int milliseconds)
{
    // A console input handle is signalled while input events are waiting.
    return WaitForSingleObject(GetStdHandle(STD_INPUT_HANDLE), DWORD(milliseconds)) == WAIT_OBJECT_0;
}

namespace
{

bool IsConsole(DWORD stdHandle)
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(stdHandle), &mode) != 0;
}

} // namespace

CUtf8Console::CUtf8Console()
{
    if (!IsConsole(STD_OUTPUT_HANDLE) && !IsConsole(STD_ERROR_HANDLE))
        return;
    UINT current = GetConsoleOutputCP();
    if (current != CP_UTF8 && SetConsoleOutputCP(CP_UTF8))
        m_nSavedCodePage = current;
}

CUtf8Console::~CUtf8Console()
{
    if (m_nSavedCodePage == 0)
        return;
    // What is still buffered is shown in UTF-8 before the console goes back.
    std::fflush(stdout);
    std::fflush(stderr);
    SetConsoleOutputCP(m_nSavedCodePage);
}

} // namespace corvalin::platform

#pragma once
// The little the command-line program needs to know about its terminal.

namespace corvalin::platform
{

enum class EStdStream
{
    Input,
    Error
};

// Whether the stream is a terminal (a console on Windows).
bool IsTerminal(EStdStream stream);

// Waits up to `milliseconds` for input on stdin; true when some is there to read.
bool WaitForInput(int milliseconds);

// While it lives, a console that stdout or stderr writes to shows the program's UTF-8
// text as such (Windows; its code page is put back at the end). A pipe or a file gets
// the bytes as written, and on other systems nothing changes.
class CUtf8Console
{
  public:
    CUtf8Console();
    ~CUtf8Console();
    CUtf8Console(const CUtf8Console&) = delete;
    CUtf8Console& operator=(const CUtf8Console&) = delete;

#ifdef _WIN32
  private:
    unsigned m_nSavedCodePage = 0;
#endif
};

} // namespace corvalin::platform

#pragma once
// The little the command-line program needs to know about its terminal.

namespace corvalin::platform
{

enum class StdStream
{
    Input,
    Error
};

// Whether the stream is a terminal (a console on Windows).
bool IsTerminal(StdStream stream);

// Waits up to `milliseconds` for input on stdin; true when some is there to read.
bool WaitForInput(int milliseconds);

} // namespace corvalin::platform

#pragma once
// The main window's timing: how often it looks for the box's USB bridge and how many
// looks in a row must see it before the box is probed. Tests hand the window a
// shorter period.

namespace corvalin
{

struct CWindowTiming
{
    int nPresencePollMs = 500;
    // Ticks that only count; the next tick that sees the bridge probes the box, so the
    // probe comes on the seventh tick in a row, about 3 s after the plug-in.
    int nPresenceCountTicks = 6;
};

} // namespace corvalin

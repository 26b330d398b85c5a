#pragma once
// The main window's timing: how often it looks for the box's USB bridge, how many
// looks in a row must see it before the box is probed, and how often it looks for why
// a bridge is missing. Tests hand the window a shorter period.

#include "device/PresenceTiming.h"

namespace corvalin
{

struct CWindowTiming
{
    int m_nPresencePollMs = kPresencePollMs;
    // Ticks that only count; the next tick that sees the bridge probes the box, so the
    // probe comes on the seventh tick in a row, about 3 s after the plug-in.
    int m_nPresenceCountTicks = kPresenceCountTicks;
    // While the map holds no bridge, the device field's hint is looked for at the first
    // tick and then at every this many: the Linux scan of the USB devices takes about
    // 1 ms on a machine with 40 of them, too much for every tick of the window's thread.
    int m_nDeviceHintTicks = 4;
};

} // namespace corvalin

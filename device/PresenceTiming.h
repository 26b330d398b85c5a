#pragma once
// How the tool decides that a USB bridge is plugged in: it looks at the serial-port map
// every kPresencePollMs and probes the box on the look after kPresenceCountTicks looks
// in a row have seen the bridge, the seventh, about 3 s after the plug-in. The window
// and the station follow the same rule.

namespace corvalin
{

constexpr int kPresencePollMs = 500;
constexpr int kPresenceCountTicks = 6;

} // namespace corvalin

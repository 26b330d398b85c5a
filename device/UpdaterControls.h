#pragma once
// The two window controls that the update worker writes into: the status line and
// the progress bar. The window implements them on its own thread; the CLI on the
// terminal. Calls may come from the worker's thread.

#include <cstdint>
#include <string>

namespace corvalin
{

class IStatusControl
{
public:
    virtual ~IStatusControl() = default;
    // Replaces the status line's text; the last write stays.
    virtual void SetText(const std::string& text) = 0;
};

class IProgressControl
{
public:
    virtual ~IProgressControl() = default;
    virtual void SetRange(int minimum, int maximum) = 0;
    // Positions above the maximum show as a full bar.
    virtual void SetPos(int position) = 0;
    // Colour as red + 256 * green + 65536 * blue.
    virtual void SetBarColor(uint32_t color) = 0;
};

constexpr uint32_t MakeBarColor(uint8_t red, uint8_t green, uint8_t blue)
{
    return uint32_t(red) | uint32_t(green) << 8 | uint32_t(blue) << 16;
}

constexpr uint32_t kBarColorNavy = MakeBarColor(0, 0, 128);   // every INIT attempt
constexpr uint32_t kBarColorGreen = MakeBarColor(0, 255, 0);  // a completed update

} // namespace corvalin

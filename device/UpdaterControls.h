#pragma once
// The window controls and notices that the update worker writes into: the status
// line, the progress bar, the "not compatible" message and the completion sound. The
// window implements them on its own thread; the CLI on the terminal. Calls may come
// from the worker's thread, so an implementation must not block on the window.

#include <atomic>
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

// The bar's range as the worker last set it, and the share of it a position fills:
// what a text-mode bar needs from IProgressControl's calls.
struct CProgressScale
{
    int m_nMin = 0;
    int m_nMax = 100;
    void SetRange(int minimum, int maximum)
    {
        m_nMin = minimum;
        m_nMax = maximum > minimum ? maximum : minimum + 1;
    }
    // 0 to 100; positions outside the range count as its ends.
    int Percent(int position) const
    {
        const int clamped = position < m_nMin ? m_nMin : position > m_nMax ? m_nMax : position;
        return (clamped - m_nMin) * 100 / (m_nMax - m_nMin);
    }
};

// The worker's notices that need the user or the speaker.
class IUpdateNotices
{
  public:
    virtual ~IUpdateNotices() = default;
    // Shows `text` in a message box with one OK button. Called on the worker's thread;
    // must return at once. The worker waits until the owner calls
    // CUpdater::DismissMessage() (when the user closed the box) or a stop is requested.
    virtual void ShowMessage(const std::string& text) = 0;
    // Plays the completion sound to its end on the worker's thread, returning early
    // once `stop` becomes true. PlayCompletionChime (device/CompletionSound.h) plays
    // the program's own chime.
    virtual void PlayCompletionSound(const std::atomic<bool>& stop) = 0;
};

constexpr uint32_t MakeBarColor(uint8_t red, uint8_t green, uint8_t blue)
{
    return uint32_t(red) | uint32_t(green) << 8 | uint32_t(blue) << 16;
}

constexpr uint32_t kBarColorNavy = MakeBarColor(0, 0, 128);  // every INIT attempt
constexpr uint32_t kBarColorGreen = MakeBarColor(0, 255, 0); // a completed update

} // namespace corvalin

#pragma once
// The serial port the box's USB bridge shows up as: opened exclusively at 129310 baud,
// 8N1, DTR and RTS not asserted, no flow control, with read time-outs in the manner of
// Windows COMMTIMEOUTS. One implementation per operating system (posix/, win32/).
// The port knows nothing of what travels over it: a read that may end at a whole
// message asks the caller's rule (MessageLengthFn) whether the buffer holds one.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace corvalin::platform
{

constexpr int kBoxBaudRate = 129310;

// The length of the whole message at the start of `data`, once all of it has arrived;
// 0 while it is incomplete.
using MessageLengthFn = std::size_t (*)(const uint8_t* data, std::size_t count);

// Reads and writes of bytes under time-outs, each ended early by a stop flag: what a
// peer's protocol needs of a port, and no more.
class IBytePort
{
  public:
    virtual ~IBytePort() = default;
    // Reads up to `maximum` bytes into `buffer` under the time-outs; `count` gets the
    // number received, possibly 0. With `endRule` the read also ends as soon as the
    // buffer holds one whole message by that rule. A set `stop` ends the read early.
    // True when the read call itself worked.
    virtual bool Read(uint8_t* buffer, std::size_t maximum, std::size_t& count, MessageLengthFn endRule,
                      const std::atomic<bool>& stop) = 0;
    // Writes the bytes whole; `count` gets the number written. A set `stop` ends the
    // wait for a line that does not take the bytes, leaving `count` short. True when
    // the write calls themselves worked.
    virtual bool Write(const uint8_t* data, std::size_t length, std::size_t& count,
                       const std::atomic<bool>& stop) = 0;
};

enum class ESerialError
{
    None,
    NotFound,   // no such device
    Permission, // not allowed to open it (on Linux: not in the dialout group)
    Busy,       // another program holds the port
    Settings,   // the line settings could not be applied
    HungUp,     // the device went away (cable pulled)
    Io,         // any other failed read or write
    Other
};

// A read of k bytes returns when k bytes have arrived, when more than `nIntervalMs`
// pass between two received bytes, or after k * `nMultiplierMs` + `nConstantMs`.
struct CPortTimeouts
{
    int m_nIntervalMs = 100;
    int m_nMultiplierMs = 1;
    int m_nConstantMs = 1;
    // A read that ends at a whole message still takes the bytes that follow it
    // within this time.
    int m_nFrameTailMs = 1;
    // A read or write waits in slices of at most this long and looks at the stop flag
    // between them. A Windows write call also gets
    // `nWriteMultiplierMs` per byte, and hands over at most `nWriteCallBytes`, so a
    // line that takes nothing holds a stop for at most the line time of that many bytes.
    int m_nStopCheckMs = 20;
    int m_nWriteMultiplierMs = 1;
    int m_nWriteCallBytes = 256;
};

class CSerialPort : public IBytePort
{
  public:
    CSerialPort();
    ~CSerialPort() override;
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens and configures the port at `path` ("\\.\COM5", "/dev/ttyUSB0"); closes
    // a port that is open first. False on failure, with LastError() telling why. On
    // Linux DTR and RTS are lowered right after the open call and HUPCL stays off, so
    // neither the settings nor the closing raise them again.
    bool Open(const std::string& path, const CPortTimeouts& timeouts);
    // Closes; harmless when closed. On Linux the settings found at opening are put
    // back, with HUPCL and hardware flow control kept off; on Windows the settings stay
    // as set (the driver keeps them for the next opening), so DTR and RTS stay low.
    void Close();
    bool IsOpen() const;

    bool Read(uint8_t* buffer, std::size_t maximum, std::size_t& count, MessageLengthFn endRule,
              const std::atomic<bool>& stop) override;
    bool Write(const uint8_t* data, std::size_t length, std::size_t& count,
               const std::atomic<bool>& stop) override;

    ESerialError LastError() const { return m_nLastError; }
    const std::string& LastErrorText() const { return m_strLastError; }

  private:
    // Takes the error of the last failed system call (errno or GetLastError).
    void TakeSystemError(ESerialError fallback);
    // A read or write on a closed port: zero bytes, and the error of a bad handle.
    bool FailClosed(std::size_t& count);

    struct CImpl;
    std::unique_ptr<CImpl> m_pImpl;
    ESerialError m_nLastError = ESerialError::None;
    std::string m_strLastError;
};

// The number of a Windows port name: "COM12" gives 12. Empty when the text does not
// start with COM followed by a digit.
std::optional<int> ParseComPortNumber(std::string_view name);

// The deadlines of one read of up to `maximum` bytes under `timeouts`: the total time,
// the interval after the last byte and, for a read with an end rule, the short quiet
// tail once the buffer holds a whole message. Both systems' read loops ask it how
// long they may still wait.
class CReadDeadlines
{
  public:
    CReadDeadlines(const CPortTimeouts& timeouts, std::size_t maximum, MessageLengthFn endRule);
    // Whole milliseconds (rounded up) the read may still wait, given the `count` bytes
    // in `buffer`; 0 once it is over.
    int MillisecondsLeft(const uint8_t* buffer, std::size_t count);
    // Bytes came: the interval, and a running tail, start again.
    void BytesArrived();

  private:
    using Clock = std::chrono::steady_clock;
    const CPortTimeouts& m_timeouts;
    const MessageLengthFn m_pEndRule;
    const Clock::time_point m_total;
    Clock::time_point m_intervalEnd = Clock::time_point::max();
    Clock::time_point m_tailEnd = Clock::time_point::max();
};

} // namespace corvalin::platform

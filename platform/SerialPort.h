#pragma once
// The serial port the box's USB bridge shows up as: opened exclusively at 129310 baud,
// 8N1, DTR and RTS not asserted, no flow control, with read time-outs in the manner of
// Windows COMMTIMEOUTS. One implementation per operating system (posix/, win32/).

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

enum class SerialError
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
    int nIntervalMs = 100;
    int nMultiplierMs = 1;
    int nConstantMs = 1;
    // A read that ends at a complete frame still takes the bytes that follow it
    // within this time.
    int nFrameTailMs = 1;
    // A read or write that may be cancelled waits in slices of at most this long and
    // looks at the cancel flag between them. A Windows write call also gets
    // `nWriteMultiplierMs` per byte, and hands over at most `nWriteCallBytes`, so a
    // line that takes nothing holds a stop for at most the line time of that many bytes.
    int nStopCheckMs = 20;
    int nWriteMultiplierMs = 1;
    int nWriteCallBytes = 256;
};

class CSerialPort
{
public:
    CSerialPort();
    ~CSerialPort();
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

    // Reads up to `maximum` bytes into `buffer` under the time-outs; `count` gets the
    // number received, possibly 0. With `endAtFrame` the read also ends as soon as
    // the buffer holds one whole frame by its length field (AA 55, 16-bit LE length
    // L, then L bytes). A set `cancel` ends the read early. True when the read call
    // itself worked.
    bool Read(uint8_t* buffer, std::size_t maximum, std::size_t& count, bool endAtFrame,
              const std::atomic<bool>* cancel = nullptr);
    // Writes the bytes whole (no write time-out); `count` gets the number written. A
    // set `cancel` ends the wait for a line that does not take the bytes, leaving
    // `count` short. True when the write calls themselves worked.
    bool Write(const uint8_t* data, std::size_t length, std::size_t& count,
               const std::atomic<bool>* cancel = nullptr);

    SerialError LastError() const { return m_nLastError; }
    const std::string& LastErrorText() const { return m_strLastError; }

private:
    // Takes the error of the last failed system call (errno or GetLastError).
    void TakeSystemError(SerialError fallback);

    struct CImpl;
    std::unique_ptr<CImpl> m_pImpl;
    SerialError m_nLastError = SerialError::None;
    std::string m_strLastError;
};

// The number of a Windows port name: "COM12" gives 12. Empty when the text does not
// start with COM followed by a digit.
std::optional<int> ParseComPortNumber(std::string_view name);

// The length (4 + L) of the frame at the start of `data` when all of it is there, or
// 0 while it is incomplete or does not start with AA 55.
std::size_t CompleteFrameLength(const uint8_t* data, std::size_t count);

// The deadlines of one read of up to `maximum` bytes under `timeouts`: the total time,
// the interval after the last byte and, for a read that ends at a frame, the short
// quiet tail once the buffer holds a whole frame. Both systems' read loops ask it how
// long they may still wait.
class CReadDeadlines
{
public:
    CReadDeadlines(const CPortTimeouts& timeouts, std::size_t maximum, bool endAtFrame);
    // Whole milliseconds (rounded up) the read may still wait, given the `count` bytes
    // in `buffer`; 0 once it is over.
    int MillisecondsLeft(const uint8_t* buffer, std::size_t count);
    // Bytes came: the interval, and a running tail, start again.
    void BytesArrived();

private:
    using Clock = std::chrono::steady_clock;
    const CPortTimeouts& m_timeouts;
    const bool m_bEndAtFrame;
    const Clock::time_point m_total;
    Clock::time_point m_intervalEnd = Clock::time_point::max();
    Clock::time_point m_tailEnd = Clock::time_point::max();
};

} // namespace corvalin::platform

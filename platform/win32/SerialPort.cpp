#include "platform/SerialPort.h"

#include "platform/win32/WideText.h"

#include <windows.h>

#include <algorithm>
#include <chrono>

namespace corvalin::platform
{

namespace
{

using Clock = std::chrono::steady_clock;

COMMTIMEOUTS MakeTimeouts(DWORD interval, DWORD multiplier, DWORD constant)
{
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = interval;
    timeouts.ReadTotalTimeoutMultiplier = multiplier;
    timeouts.ReadTotalTimeoutConstant = constant;
    // No write time-out.
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    return timeouts;
}

// The port's own read time-outs, with no write time-out.
bool SetPortTimeouts(HANDLE port, const CPortTimeouts& t)
{
    COMMTIMEOUTS timeouts =
        MakeTimeouts(DWORD(t.m_nIntervalMs), DWORD(t.m_nMultiplierMs), DWORD(t.m_nConstantMs));
    return SetCommTimeouts(port, &timeouts) != FALSE;
}

// After a failed read or write: clears the port's error state, which would otherwise
// fail every later call when the driver aborts on errors. True when the failure was a
// line error (framing, overrun, parity, break), after which the port works on. The
// call's own error code is kept for the caller.
bool ClearLineError(HANDLE port)
{
    DWORD callError = GetLastError();
    DWORD errors = 0;
    bool lineError = ClearCommError(port, &errors, nullptr) && errors != 0;
    SetLastError(callError);
    return lineError;
}

} // namespace

struct CSerialPort::CImpl
{
    HANDLE hPort = INVALID_HANDLE_VALUE;
    // A cancelled write left bytes in the driver's queue.
    bool bWriteCut = false;
    CPortTimeouts timeouts;
};

CSerialPort::CSerialPort() : m_pImpl(std::make_unique<CImpl>()) {}

CSerialPort::~CSerialPort()
{
    Close();
}

void CSerialPort::TakeSystemError(ESerialError fallback)
{
    DWORD error = GetLastError();
    switch (error)
    {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        m_nLastError = ESerialError::NotFound;
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        // A COM port that another program holds opens with "access denied".
        m_nLastError = ESerialError::Busy;
        break;
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_OPERATION_ABORTED:
    case ERROR_GEN_FAILURE:
    case ERROR_NOT_READY:
        m_nLastError = fallback == ESerialError::Io ? ESerialError::HungUp : fallback;
        break;
    default:
        m_nLastError = fallback;
        break;
    }
    // The system's text in UTF-8, as all our texts are; the ANSI form would not show
    // right on a console that takes UTF-8.
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    m_strLastError = length && text ? Narrow(std::wstring(text, length)) : "error " + std::to_string(error);
    if (text)
        LocalFree(text);
    while (!m_strLastError.empty() && (m_strLastError.back() == '\n' || m_strLastError.back() == '\r'))
        m_strLastError.pop_back();
}

bool CSerialPort::Open(const std::string& path, const CPortTimeouts& timeouts)
{
    Close();
    m_nLastError = ESerialError::None;
    m_strLastError.clear();

    // A bare port name ("COM12") is reached through the device namespace, since
    // Windows finds only COM1 to COM9 as plain file names.
    const bool bareName =
        ParseComPortNumber(path).has_value() && path.find_first_of("\\/:") == std::string::npos;
    const std::string device = bareName ? "\\\\.\\" + path : path;
    // Read and write, existing device, no sharing, no overlapped I/O.
    HANDLE port = CreateFileW(Widen(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (port == INVALID_HANDLE_VALUE)
    {
        TakeSystemError(ESerialError::Other);
        return false;
    }

    auto fail = [&](ESerialError kind)
    {
        TakeSystemError(kind);
        CloseHandle(port);
        return false;
    };
    DCB settings{};
    settings.DCBlength = sizeof settings;
    if (!GetCommState(port, &settings))
        return fail(ESerialError::Settings);
    // Every field that can stop or change the bytes is set: a driver may keep CTS or
    // DSR flow control (a write then waits for a line the box never raises) or
    // abort-on-error (one line error then fails every later call) from a program
    // that used the port before. The rest (XOFF limits, event characters) only
    // matter with the handshakes that are off here.
    settings.BaudRate = DWORD(kBoxBaudRate);
    settings.ByteSize = 8;
    settings.Parity = NOPARITY;
    settings.StopBits = ONESTOPBIT;
    settings.fBinary = TRUE;
    settings.fParity = FALSE;
    settings.fOutxCtsFlow = FALSE;
    settings.fOutxDsrFlow = FALSE;
    settings.fDtrControl = DTR_CONTROL_DISABLE;
    settings.fDsrSensitivity = FALSE;
    settings.fOutX = FALSE;
    settings.fInX = FALSE;
    settings.fErrorChar = FALSE;
    settings.fNull = FALSE;
    settings.fRtsControl = RTS_CONTROL_DISABLE;
    settings.fAbortOnError = FALSE;
    if (!SetCommState(port, &settings))
        return fail(ESerialError::Settings);

    // The events are not waited for anywhere; the mask is part of the port's set-up.
    if (!SetCommMask(port, EV_RXCHAR | EV_TXEMPTY))
        return fail(ESerialError::Settings);
    // Without our time-outs a read could wait for ever.
    if (!SetPortTimeouts(port, timeouts))
        return fail(ESerialError::Settings);
    // Bytes left from before the opening belong to no request of ours.
    if (!PurgeComm(port, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR))
        return fail(ESerialError::Settings);
    DWORD errors = 0;
    ClearCommError(port, &errors, nullptr);

    m_pImpl->hPort = port;
    m_pImpl->bWriteCut = false;
    m_pImpl->timeouts = timeouts;
    return true;
}

void CSerialPort::Close()
{
    if (!m_pImpl || m_pImpl->hPort == INVALID_HANDLE_VALUE)
        return;
    // Bytes a cancelled write left queued would otherwise hold up the closing.
    if (m_pImpl->bWriteCut)
        PurgeComm(m_pImpl->hPort, PURGE_TXABORT | PURGE_TXCLEAR);
    // The settings found at opening are not put back: the driver keeps them for the
    // next opening, and putting them back could raise DTR and RTS for it. The lines
    // stay low.
    CloseHandle(m_pImpl->hPort);
    m_pImpl->hPort = INVALID_HANDLE_VALUE;
    m_pImpl->bWriteCut = false;
}

bool CSerialPort::IsOpen() const
{
    return m_pImpl->hPort != INVALID_HANDLE_VALUE;
}

bool CSerialPort::FailClosed(std::size_t& count)
{
    count = 0;
    SetLastError(ERROR_INVALID_HANDLE);
    TakeSystemError(ESerialError::Io);
    return false;
}

bool CSerialPort::Read(uint8_t* buffer, std::size_t maximum, std::size_t& count, MessageLengthFn endRule,
                       const std::atomic<bool>& stop)
{
    count = 0;
    HANDLE port = m_pImpl->hPort;
    if (port == INVALID_HANDLE_VALUE)
        return FailClosed(count);
    if (stop.load())
        return true;
    const CPortTimeouts& t = m_pImpl->timeouts;
    const DWORD wanted = DWORD(std::min<std::size_t>(maximum, MAXDWORD));

    // The port's time-outs are kept here, with calls that each wait at most a short
    // slice for the next bytes, so that a stop and a whole message are seen between
    // them. Bytes that follow a whole frame within the tail still belong to the read.
    // Each call asks only for the bytes already queued, or for one byte when none
    // are: such a call ends as soon as it is satisfied on every driver. (An interval
    // and a multiplier of MAXDWORD should end a call at its first byte too, but Wine
    // ignores that and waits out the whole slice, about 20 ms lost per reply.)
    CReadDeadlines deadlines(t, wanted, endRule);
    COMMTIMEOUTS sliced = MakeTimeouts(MAXDWORD, MAXDWORD, 0);
    BOOL ok = TRUE;
    while (count < wanted)
    {
        const int left = deadlines.MillisecondsLeft(buffer, count);
        if (left <= 0 || stop.load())
            break;
        // A port that cannot tell its input queue is gone (a pulled cable; under Wine a
        // pseudo-terminal whose other end hung up, whose reads bring nothing and no
        // error): the read fails now instead of waiting out its time-outs.
        DWORD errors = 0;
        COMSTAT status{};
        ok = ClearCommError(port, &errors, &status);
        if (!ok)
            break;
        const DWORD ask = status.cbInQue > 0 ? std::min(DWORD(status.cbInQue), wanted - DWORD(count)) : 1;
        const DWORD slice = DWORD(std::min(left, std::max(1, t.m_nStopCheckMs)));
        // A slice that could not be set would leave the read waiting for longer.
        if (sliced.ReadTotalTimeoutConstant != slice)
        {
            sliced.ReadTotalTimeoutConstant = slice;
            ok = SetCommTimeouts(port, &sliced);
            if (!ok)
                break;
        }
        DWORD got = 0;
        const Clock::time_point sliceStart = Clock::now();
        ok = ReadFile(port, buffer + count, ask, &got, nullptr);
        if (!ok && ClearLineError(port))
            ok = TRUE;
        if (!ok)
            break;
        if (got == 0)
        {
            // A port that answers at once with nothing would otherwise be asked again
            // and again until the time-outs run out; the slice is waited out instead.
            const auto spent =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sliceStart);
            const int64_t rest = int64_t(slice) - spent.count();
            if (rest > 0)
                Sleep(DWORD(rest));
        }
        else
        {
            count += got;
            deadlines.BytesArrived();
        }
    }
    if (!ok)
        TakeSystemError(ESerialError::Io);
    if (!SetPortTimeouts(port, t) && ok)
    {
        TakeSystemError(ESerialError::Settings);
        ok = FALSE;
    }
    return ok != FALSE;
}

bool CSerialPort::Write(const uint8_t* data, std::size_t length, std::size_t& count,
                        const std::atomic<bool>& stop)
{
    count = 0;
    HANDLE port = m_pImpl->hPort;
    if (port == INVALID_HANDLE_VALUE)
        return FailClosed(count);
    // A write goes out in calls of at most nWriteCallBytes, each with a time-out of
    // its line time with room to spare plus a short slice, and is continued until the
    // bytes are out, so that a line that does not take them is left soon after a stop. A call that ran out of
    // time ends with fewer bytes written, or on some drivers with a time-out error; either way the next call
    // goes on with the rest.
    const CPortTimeouts& t = m_pImpl->timeouts;
    COMMTIMEOUTS sliced =
        MakeTimeouts(DWORD(t.m_nIntervalMs), DWORD(t.m_nMultiplierMs), DWORD(t.m_nConstantMs));
    sliced.WriteTotalTimeoutMultiplier = DWORD(std::max(0, t.m_nWriteMultiplierMs));
    sliced.WriteTotalTimeoutConstant = DWORD(std::max(1, t.m_nStopCheckMs));
    BOOL ok = SetCommTimeouts(port, &sliced);
    while (ok && count < length)
    {
        if (stop.load())
        {
            m_pImpl->bWriteCut = true;
            break;
        }
        DWORD written = 0;
        const std::size_t callBytes = std::size_t(std::max(1, t.m_nWriteCallBytes));
        ok = WriteFile(port, data + count, DWORD(std::min(length - count, callBytes)), &written, nullptr);
        count += written;
        if (!ok)
        {
            DWORD error = GetLastError();
            ok = ClearLineError(port) || error == ERROR_TIMEOUT || error == ERROR_SEM_TIMEOUT;
        }
    }
    if (!ok)
        TakeSystemError(ESerialError::Io);
    if (!SetPortTimeouts(port, t) && ok)
    {
        TakeSystemError(ESerialError::Settings);
        ok = FALSE;
    }
    return ok != FALSE;
}

} // namespace corvalin::platform

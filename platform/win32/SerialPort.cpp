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

} // namespace

struct CSerialPort::CImpl
{
    HANDLE hPort = INVALID_HANDLE_VALUE;
    DCB saved{};
    bool bSaved = false;
    CPortTimeouts timeouts;
};

CSerialPort::CSerialPort() : m_pImpl(std::make_unique<CImpl>())
{
}

CSerialPort::~CSerialPort()
{
    Close();
}

void CSerialPort::TakeSystemError(SerialError fallback)
{
    DWORD error = GetLastError();
    switch (error)
    {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        m_nLastError = SerialError::NotFound;
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        // A COM port that another program holds opens with "access denied".
        m_nLastError = SerialError::Busy;
        break;
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_OPERATION_ABORTED:
    case ERROR_GEN_FAILURE:
        m_nLastError = fallback == SerialError::Io ? SerialError::HungUp : fallback;
        break;
    default:
        m_nLastError = fallback;
        break;
    }
    char* text = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    m_strLastError = length && text ? std::string(text, length) : "error " + std::to_string(error);
    if (text)
        LocalFree(text);
    while (!m_strLastError.empty() && (m_strLastError.back() == '\n' || m_strLastError.back() == '\r'))
        m_strLastError.pop_back();
}

bool CSerialPort::Open(const std::string& path, const CPortTimeouts& timeouts)
{
    Close();
    m_nLastError = SerialError::None;
    m_strLastError.clear();

    // Read and write, existing device, no sharing, no overlapped I/O.
    HANDLE port = CreateFileW(Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE)
    {
        TakeSystemError(SerialError::Other);
        return false;
    }

    DCB settings{};
    settings.DCBlength = sizeof settings;
    if (!GetCommState(port, &settings))
    {
        TakeSystemError(SerialError::Settings);
        CloseHandle(port);
        return false;
    }
    const DCB found = settings;
    // Only these change; binary mode, CTS/DSR flow control, DSR sensitivity,
    // continue-on-XOFF, the error character and abort-on-error stay as the driver has them.
    settings.BaudRate = DWORD(kBoxBaudRate);
    settings.ByteSize = 8;
    settings.Parity = NOPARITY;
    settings.StopBits = ONESTOPBIT;
    settings.fDtrControl = DTR_CONTROL_DISABLE;
    settings.fRtsControl = RTS_CONTROL_DISABLE;
    settings.fOutX = FALSE;
    settings.fInX = FALSE;
    settings.fNull = FALSE;
    if (!SetCommState(port, &settings))
    {
        TakeSystemError(SerialError::Settings);
        CloseHandle(port);
        return false;
    }

    // The events are not waited for anywhere; the mask is part of the port's set-up.
    SetCommMask(port, EV_RXCHAR | EV_TXEMPTY);
    COMMTIMEOUTS commTimeouts = MakeTimeouts(DWORD(timeouts.nIntervalMs), DWORD(timeouts.nMultiplierMs),
                                             DWORD(timeouts.nConstantMs));
    SetCommTimeouts(port, &commTimeouts);

    m_pImpl->hPort = port;
    m_pImpl->saved = found;
    m_pImpl->bSaved = true;
    m_pImpl->timeouts = timeouts;
    return true;
}

void CSerialPort::Close()
{
    if (!m_pImpl || m_pImpl->hPort == INVALID_HANDLE_VALUE)
        return;
    if (m_pImpl->bSaved)
        SetCommState(m_pImpl->hPort, &m_pImpl->saved);
    CloseHandle(m_pImpl->hPort);
    m_pImpl->hPort = INVALID_HANDLE_VALUE;
    m_pImpl->bSaved = false;
}

bool CSerialPort::IsOpen() const
{
    return m_pImpl->hPort != INVALID_HANDLE_VALUE;
}

bool CSerialPort::Read(uint8_t* buffer, std::size_t maximum, std::size_t& count, bool endAtFrame,
                       const std::atomic<bool>* cancel)
{
    count = 0;
    HANDLE port = m_pImpl->hPort;
    if (port == INVALID_HANDLE_VALUE)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        TakeSystemError(SerialError::Io);
        return false;
    }
    if (cancel && cancel->load())
        return true;
    const CPortTimeouts& t = m_pImpl->timeouts;
    const DWORD wanted = DWORD(std::min<std::size_t>(maximum, MAXDWORD));

    if (!endAtFrame && !cancel)
    {
        // One call under the port's own time-outs.
        DWORD got = 0;
        BOOL ok = ReadFile(port, buffer, wanted, &got, nullptr);
        count = got;
        if (!ok)
            TakeSystemError(SerialError::Io);
        return ok != FALSE;
    }

    // The same time-outs kept here, with calls that each wait at most a short slice
    // for the next bytes (an interval and a multiplier of MAXDWORD make ReadFile return
    // as soon as any byte is there), so that a cancel request and a whole frame are
    // seen between them. Bytes that follow a whole frame within the tail still belong
    // to the read.
    const Clock::time_point never = Clock::time_point::max();
    const Clock::time_point total =
        Clock::now() + std::chrono::milliseconds(int64_t(wanted) * t.nMultiplierMs + t.nConstantMs);
    Clock::time_point intervalEnd = never;
    Clock::time_point tailEnd = never;
    COMMTIMEOUTS sliced = MakeTimeouts(MAXDWORD, MAXDWORD, 1);
    BOOL ok = TRUE;
    while (count < wanted)
    {
        if (endAtFrame && tailEnd == never && CompleteFrameLength(buffer, count) != 0)
            tailEnd = Clock::now() + std::chrono::milliseconds(t.nFrameTailMs);
        if (cancel && cancel->load())
            break;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::min({total, intervalEnd, tailEnd}) - Clock::now())
                        .count();
        if (left <= 0)
            break;
        sliced.ReadTotalTimeoutConstant = DWORD(std::min<int64_t>(left, std::max(1, t.nStopCheckMs)));
        SetCommTimeouts(port, &sliced);
        DWORD got = 0;
        ok = ReadFile(port, buffer + count, wanted - DWORD(count), &got, nullptr);
        if (!ok)
            break;
        if (got > 0)
        {
            count += got;
            intervalEnd = Clock::now() + std::chrono::milliseconds(t.nIntervalMs);
            if (tailEnd != never)
                tailEnd = Clock::now() + std::chrono::milliseconds(t.nFrameTailMs);
        }
    }
    COMMTIMEOUTS portTimeouts = MakeTimeouts(DWORD(t.nIntervalMs), DWORD(t.nMultiplierMs), DWORD(t.nConstantMs));
    SetCommTimeouts(port, &portTimeouts);
    if (!ok)
        TakeSystemError(SerialError::Io);
    return ok != FALSE;
}

bool CSerialPort::Write(const uint8_t* data, std::size_t length, std::size_t& count,
                        const std::atomic<bool>* cancel)
{
    count = 0;
    HANDLE port = m_pImpl->hPort;
    if (port == INVALID_HANDLE_VALUE)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        TakeSystemError(SerialError::Io);
        return false;
    }
    if (!cancel)
    {
        DWORD written = 0;
        BOOL ok = WriteFile(port, data, DWORD(std::min<std::size_t>(length, MAXDWORD)), &written, nullptr);
        count = written;
        if (!ok)
            TakeSystemError(SerialError::Io);
        return ok != FALSE;
    }

    // A write that may be cancelled gets a time-out per call (its line time with room
    // to spare, plus a short slice) and is continued until the bytes are out, so that
    // a line that does not take them is left when the cancel flag is set.
    const CPortTimeouts& t = m_pImpl->timeouts;
    COMMTIMEOUTS sliced = MakeTimeouts(DWORD(t.nIntervalMs), DWORD(t.nMultiplierMs), DWORD(t.nConstantMs));
    sliced.WriteTotalTimeoutMultiplier = DWORD(std::max(0, t.nWriteMultiplierMs));
    sliced.WriteTotalTimeoutConstant = DWORD(std::max(1, t.nStopCheckMs));
    SetCommTimeouts(port, &sliced);
    BOOL ok = TRUE;
    while (count < length && !cancel->load())
    {
        DWORD written = 0;
        ok = WriteFile(port, data + count, DWORD(std::min<std::size_t>(length - count, MAXDWORD)), &written,
                       nullptr);
        count += written;
        if (!ok)
            break;
    }
    if (!ok)
        TakeSystemError(SerialError::Io);
    COMMTIMEOUTS portTimeouts =
        MakeTimeouts(DWORD(t.nIntervalMs), DWORD(t.nMultiplierMs), DWORD(t.nConstantMs));
    SetCommTimeouts(port, &portTimeouts);
    return ok != FALSE;
}

} // namespace corvalin::platform

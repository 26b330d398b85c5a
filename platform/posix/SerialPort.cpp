#include "platform/SerialPort.h"

#include "platform/posix/LineSettings.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace corvalin::platform
{

struct CSerialPort::CImpl
{
    int fd = -1;
    CorvalinSavedLine saved{};
    bool bSaved = false;
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
    int error = errno;
    switch (error)
    {
    case ENOENT:
    case ENODEV:
    case ENOTDIR:
        m_nLastError = ESerialError::NotFound;
        break;
    case EACCES:
    case EPERM:
        m_nLastError = ESerialError::Permission;
        break;
    case EBUSY:
    case EWOULDBLOCK:
        m_nLastError = ESerialError::Busy;
        break;
    case EIO:
    case ENXIO:
        m_nLastError = fallback == ESerialError::Io ? ESerialError::HungUp : fallback;
        break;
    default:
        m_nLastError = fallback;
        break;
    }
    m_strLastError = std::strerror(error);
}

bool CSerialPort::Open(const std::string& path, const CPortTimeouts& timeouts)
{
    Close();
    m_nLastError = ESerialError::None;
    m_strLastError.clear();

    int fd;
    do
        fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
    {
        TakeSystemError(ESerialError::Other);
        return false;
    }
    // The kernel raises DTR and RTS on opening; lower them at once, before any call
    // that costs a round trip to a USB bridge, in case the box's reset or boot pin
    // hangs on either. A pseudo-terminal has no modem lines, so the result is not
    // examined.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd, TIOCMBIC, &lines);

    auto fail = [&](ESerialError kind)
    {
        TakeSystemError(kind);
        ::close(fd);
        return false;
    };
    if (!::isatty(fd))
        return fail(ESerialError::Settings);
    // TIOCEXCL keeps other programs out (but not root); the lock also keeps out a
    // second copy of ours running as root.
    if (::ioctl(fd, TIOCEXCL) != 0)
        return fail(ESerialError::Busy);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
    {
        int error = errno;
        ::ioctl(fd, TIOCNXCL);
        errno = error;
        return fail(ESerialError::Busy);
    }
    CorvalinSavedLine saved{};
    if (corvalin_save_line(fd, &saved) != 0 || corvalin_set_raw_line(fd, kBoxBaudRate) != 0)
    {
        int error = errno;
        ::ioctl(fd, TIOCNXCL);
        errno = error;
        return fail(ESerialError::Settings);
    }
    // Bytes left from before the opening belong to no request of ours.
    ::tcflush(fd, TCIOFLUSH);

    m_pImpl->fd = fd;
    m_pImpl->saved = saved;
    m_pImpl->bSaved = true;
    m_pImpl->timeouts = timeouts;
    return true;
}

void CSerialPort::Close()
{
    if (!m_pImpl || m_pImpl->fd < 0)
        return;
    int fd = m_pImpl->fd;
    // Bytes a cancelled write left queued would otherwise hold up the closing.
    if (m_pImpl->bWriteCut)
        ::tcflush(fd, TCOFLUSH);
    if (m_pImpl->bSaved)
        corvalin_restore_line(fd, &m_pImpl->saved);
    // The exclusive flag lives with the terminal, not the descriptor: drop it, or the
    // next opening fails while anybody else still holds the terminal.
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
    m_pImpl->fd = -1;
    m_pImpl->bSaved = false;
    m_pImpl->bWriteCut = false;
}

bool CSerialPort::IsOpen() const
{
    return m_pImpl->fd >= 0;
}

bool CSerialPort::FailClosed(std::size_t& count)
{
    count = 0;
    errno = EBADF;
    TakeSystemError(ESerialError::Io);
    return false;
}

bool CSerialPort::Read(uint8_t* buffer, std::size_t maximum, std::size_t& count, MessageLengthFn endRule,
                       const std::atomic<bool>& stop)
{
    count = 0;
    if (m_pImpl->fd < 0)
        return FailClosed(count);
    const CPortTimeouts& t = m_pImpl->timeouts;
    // Once the buffer holds a whole message, a read with an end rule ends after a short
    // quiet tail instead of the long interval; bytes in that tail are still taken.
    CReadDeadlines deadlines(t, maximum, endRule);

    while (count < maximum)
    {
        int wait = deadlines.MillisecondsLeft(buffer, count);
        if (wait <= 0 || stop.load())
            break;

        pollfd entry{m_pImpl->fd, POLLIN, 0};
        int ready = ::poll(&entry, 1, std::min(wait, std::max(1, t.m_nStopCheckMs)));
        if (ready < 0)
        {
            if (errno == EINTR)
                continue;
            TakeSystemError(ESerialError::Io);
            return false;
        }
        if (ready == 0)
            continue;
        if (entry.revents & (POLLIN | POLLHUP | POLLERR))
        {
            ssize_t got = ::read(m_pImpl->fd, buffer + count, maximum - count);
            if (got > 0)
            {
                count += std::size_t(got);
                deadlines.BytesArrived();
                continue;
            }
            if (got < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            // End of file or EIO: the device went away.
            if (got == 0)
                errno = EIO;
            TakeSystemError(ESerialError::Io);
            return false;
        }
        if (entry.revents & POLLNVAL)
        {
            errno = EBADF;
            TakeSystemError(ESerialError::Io);
            return false;
        }
    }
    return true;
}

bool CSerialPort::Write(const uint8_t* data, std::size_t length, std::size_t& count,
                        const std::atomic<bool>& stop)
{
    count = 0;
    if (m_pImpl->fd < 0)
        return FailClosed(count);
    while (count < length)
    {
        ssize_t put = ::write(m_pImpl->fd, data + count, length - count);
        if (put > 0)
        {
            count += std::size_t(put);
            continue;
        }
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0 && errno == EAGAIN)
        {
            // The driver's buffer is full: wait until it drains (no write time-out),
            // in slices, so that a stop ends the wait.
            if (stop.load())
            {
                m_pImpl->bWriteCut = true;
                return true;
            }
            const int slice = std::max(1, m_pImpl->timeouts.m_nStopCheckMs);
            pollfd entry{m_pImpl->fd, POLLOUT, 0};
            if (::poll(&entry, 1, slice) < 0 && errno != EINTR)
            {
                TakeSystemError(ESerialError::Io);
                return false;
            }
            if (entry.revents & (POLLHUP | POLLERR | POLLNVAL))
            {
                errno = EIO;
                TakeSystemError(ESerialError::Io);
                return false;
            }
            continue;
        }
        TakeSystemError(ESerialError::Io);
        return false;
    }
    return true;
}

} // namespace corvalin::platform

#include "platform/SerialPort.h"

#include <algorithm>

namespace corvalin::platform
{

std::optional<int> ParseComPortNumber(std::string_view name)
{
    if (name.size() < 4 || name.substr(0, 3) != "COM" || name[3] < '0' || name[3] > '9')
        return std::nullopt;
    // Like atoi: the digits that start at the fourth character; what follows them is ignored.
    long long number = 0;
    for (std::size_t i = 3; i < name.size() && name[i] >= '0' && name[i] <= '9'; ++i)
    {
        number = number * 10 + (name[i] - '0');
        if (number > 1000000)
            return std::nullopt;
    }
    return int(number);
}

CReadDeadlines::CReadDeadlines(const CPortTimeouts& timeouts, std::size_t maximum, MessageLengthFn endRule)
    : m_timeouts(timeouts), m_pEndRule(endRule),
      m_total(Clock::now() +
              std::chrono::milliseconds(int64_t(maximum) * timeouts.m_nMultiplierMs + timeouts.m_nConstantMs))
{
}

int CReadDeadlines::MillisecondsLeft(const uint8_t* buffer, std::size_t count)
{
    const Clock::time_point never = Clock::time_point::max();
    if (m_pEndRule && m_tailEnd == never && m_pEndRule(buffer, count) != 0)
    {
        if (m_timeouts.m_nFrameTailMs <= 0)
            return 0;
        m_tailEnd = Clock::now() + std::chrono::milliseconds(m_timeouts.m_nFrameTailMs);
    }
    const Clock::time_point deadline = std::min({m_total, m_intervalEnd, m_tailEnd});
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : int(std::min<int64_t>((left + 999) / 1000, 1 << 30));
}

void CReadDeadlines::BytesArrived()
{
    const Clock::time_point now = Clock::now();
    m_intervalEnd = now + std::chrono::milliseconds(m_timeouts.m_nIntervalMs);
    if (m_tailEnd != Clock::time_point::max())
        m_tailEnd = now + std::chrono::milliseconds(m_timeouts.m_nFrameTailMs);
}

} // namespace corvalin::platform

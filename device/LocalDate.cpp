#include "device/LocalDate.h"

#include <ctime>

namespace corvalin
{

CLocalDate CSystemDateSource::Today() const
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

uint32_t DateToBcd(const CLocalDate& date)
{
    auto bcd = [](int value, int digits)
    {
        uint32_t result = 0;
        for (int i = 0, shift = 0; i < digits; ++i, shift += 4)
        {
            result |= uint32_t(value % 10) << shift;
            value /= 10;
        }
        return result;
    };
    return bcd(date.m_nYear, 4) << 16 | bcd(date.m_nMonth, 2) << 8 | bcd(date.m_nDay, 2);
}

} // namespace corvalin

#pragma once
// The PC's local date, for the date stamp the box's configuration record carries.
// It comes through an interface so that tests can fix the day.

#include <cstdint>

namespace corvalin
{

struct CLocalDate
{
    int m_nYear = 0;
    int m_nMonth = 0;
    int m_nDay = 0;
};

class IDateSource
{
  public:
    virtual ~IDateSource() = default;
    virtual CLocalDate Today() const = 0;
};

// The system clock's local date.
class CSystemDateSource : public IDateSource
{
  public:
    CLocalDate Today() const override;
};

// The date as the BCD number 0xYYYYMMDD: 6 May 2011 gives 0x20110506.
uint32_t DateToBcd(const CLocalDate& date);

} // namespace corvalin

#include "platform/SerialPort.h"

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

std::size_t CompleteFrameLength(const uint8_t* data, std::size_t count)
{
    if (count < 4 || data[0] != 0xAA || data[1] != 0x55)
        return 0;
    std::size_t length = 4 + std::size_t(data[2] | data[3] << 8);
    return count >= length ? length : 0;
}

} // namespace corvalin::platform

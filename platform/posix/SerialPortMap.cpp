#include "platform/SerialPortMap.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

namespace corvalin::platform
{

namespace
{

namespace fs = std::filesystem;

constexpr std::string_view kDevicePrefix = "\\Device\\";
constexpr const char* kCp210xDriverDir = "/sys/bus/usb-serial/drivers/cp210x";
constexpr std::string_view kBridgeName = "Silabser";
constexpr std::string_view kUsbTtyName = "ttyUSB";

// "/dev/pts/7" is shown as "pts/7", "/dev/ttyUSB0" as "ttyUSB0".
std::string ShownName(const fs::path& device)
{
    std::string text = device.string();
    constexpr std::string_view dev = "/dev/";
    if (text.compare(0, dev.size(), dev) == 0)
        return text.substr(dev.size());
    return device.filename().string();
}

std::optional<CMappedPort> LookupInDirectory(const fs::path& directory, const std::string& entry)
{
    std::error_code error;
    fs::path link = directory / entry;
    if (!fs::exists(link, error))
        return std::nullopt;
    fs::path target = fs::is_symlink(link, error) ? fs::canonical(link, error) : link;
    if (error)
        return std::nullopt;
    return CMappedPort{target.string(), ShownName(target)};
}

// The n of each ttyUSB<n> bound to the cp210x driver, in ascending order.
std::vector<int> BoundUsbTtys()
{
    std::vector<int> numbers;
    std::error_code error;
    for (fs::directory_iterator it(kCp210xDriverDir, error), end; !error && it != end; it.increment(error))
    {
        std::string name = it->path().filename().string();
        if (name.compare(0, kUsbTtyName.size(), kUsbTtyName) != 0 || name.size() == kUsbTtyName.size())
            continue;
        std::string_view digits = std::string_view(name).substr(kUsbTtyName.size());
        if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
            digits.size() > 6)
            continue;
        numbers.push_back(std::atoi(std::string(digits).c_str()));
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

} // namespace

std::optional<CMappedPort> LookupSerialPort(const std::string& driverDevice)
{
    if (driverDevice.compare(0, kDevicePrefix.size(), kDevicePrefix) != 0)
        return std::nullopt;
    std::string entry = driverDevice.substr(kDevicePrefix.size());

    if (const char* mapDir = std::getenv(kSerialMapVariable); mapDir && *mapDir)
    {
        std::error_code error;
        if (fs::is_directory(mapDir, error))
            return LookupInDirectory(mapDir, entry);
    }

    if (entry.compare(0, kBridgeName.size(), kBridgeName) != 0 || entry.size() == kBridgeName.size())
        return std::nullopt;
    std::string_view digits = std::string_view(entry).substr(kBridgeName.size());
    if (digits.size() > 3 || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    std::size_t index = std::size_t(std::atoi(std::string(digits).c_str()));

    std::vector<int> ttys = BoundUsbTtys();
    if (index >= ttys.size())
        return std::nullopt;
    fs::path device = "/dev/" + std::string(kUsbTtyName) + std::to_string(ttys[index]);
    return CMappedPort{device.string(), ShownName(device)};
}

} // namespace corvalin::platform

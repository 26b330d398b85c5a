#include "platform/DeviceHints.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <string_view>
#include <system_error>

namespace corvalin::platform
{

namespace
{

namespace fs = std::filesystem;

constexpr std::string_view kBridgeVendor = "10c4";
constexpr std::string_view kBridgeProduct = "ea60";
constexpr std::string_view kUsbTtyName = "ttyUSB";
// A vendor or product attribute is four hex digits and a line end; anything longer
// is not one.
constexpr std::size_t kAttributeBytes = 16;

// A small sysfs attribute such as idVendor, without its line end and in lower case;
// "" when it is missing or no regular file (a FIFO would block the read).
std::string ReadAttribute(const fs::path& file)
{
    std::error_code error;
    if (!fs::is_regular_file(file, error))
        return {};
    std::ifstream in(file, std::ios::binary);
    char bytes[kAttributeBytes] = {};
    in.read(bytes, sizeof bytes);
    std::string text(bytes, std::size_t(std::max<std::streamsize>(in.gcount(), 0)));
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.pop_back();
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return char(std::tolower(static_cast<unsigned char>(c))); });
    return text;
}

// Whether `interface` (a folder "1-2:1.0") holds a ttyUSB<n>, as it does once the
// cp210x driver has bound it.
bool HasUsbTty(const fs::path& interface)
{
    std::error_code error;
    for (fs::directory_iterator it(interface, error), end; !error && it != end; it.increment(error))
    {
        const std::string name = it->path().filename().string();
        if (name.size() > kUsbTtyName.size() && name.starts_with(kUsbTtyName))
            return true;
    }
    return false;
}

// Whether any interface of USB device `device` (its folders "<device>:<config>.<n>"
// beside it in `devices`) has a ttyUSB.
bool AnyInterfaceHasUsbTty(const fs::path& devices, const std::string& device)
{
    const std::string prefix = device + ":";
    std::error_code error;
    for (fs::directory_iterator it(devices, error), end; !error && it != end; it.increment(error))
    {
        const std::string name = it->path().filename().string();
        if (name.starts_with(prefix) && HasUsbTty(it->path()))
            return true;
    }
    return false;
}

} // namespace

std::string NoBridgeHint(const fs::path& sysfsRoot)
{
    const fs::path devices = sysfsRoot / "bus" / "usb" / "devices";
    std::error_code error;
    for (fs::directory_iterator it(devices, error), end; !error && it != end; it.increment(error))
    {
        // Interfaces ("1-2:1.0") have no vendor of their own.
        const std::string name = it->path().filename().string();
        if (name.find(':') != std::string::npos)
            continue;
        if (ReadAttribute(it->path() / "idVendor") != kBridgeVendor ||
            ReadAttribute(it->path() / "idProduct") != kBridgeProduct)
            continue;
        if (!AnyInterfaceHasUsbTty(devices, name))
            return "a CP210x USB-to-UART bridge (10c4:ea60) is plugged in but has no serial port; "
                   "on some distributions brltty, the Braille display service, claims it: remove "
                   "brltty (sudo apt remove brltty), or see in sudo dmesg what took the device, "
                   "then replug the box";
    }
    return {};
}

// Udev gives the bridge to the user at the desktop by the rule the install puts under
// lib/udev/rules.d, which udev reads only below /usr or /etc; the dialout group works
// for every login, but only after the next one.
std::string PortPermissionHint(const std::string& errorText)
{
    return "no permission to open the port (" + errorText +
           "); copy Corvalin's udev rule 70-corvalin-cp210x.rules to /etc/udev/rules.d, run "
           "sudo udevadm control --reload && sudo udevadm trigger and replug the box, or add "
           "your user to the dialout group (sudo usermod -aG dialout $USER) and log in again";
}

} // namespace corvalin::platform

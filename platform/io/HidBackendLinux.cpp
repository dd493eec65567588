#include "platform/io/HidBackend.h"
#include "platform/io/HidrawSysfs.h"

#include <juce_events/juce_events.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <libudev.h>
#include <poll.h>
#include <sstream>
#include <unistd.h>

namespace platform
{

namespace
{

/** The first line of a sysfs attribute file, or false when it cannot be read. */
bool readAttribute (const std::filesystem::path& file, std::string& value)
{
    std::ifstream stream (file);
    return static_cast<bool> (std::getline (stream, value));
}

void addNumber (HidProperties& properties, const char* key, const std::filesystem::path& file, int base)
{
    std::string text;
    if (!readAttribute (file, text))
        return;

    // Not a number: the property stays out.
    char* end = nullptr;
    const auto value = std::strtoll (text.c_str(), &end, base);
    if (end != text.c_str())
        properties[key] = static_cast<int64_t> (value);
}

bool isUsbDevice (const std::filesystem::path& folder)
{
    std::error_code error;
    return std::filesystem::exists (folder / "idVendor", error) &&
           std::filesystem::exists (folder / "devpath", error);
}

}  // namespace

int64_t usbLocationId (int busNumber, const std::string& devpath)
{
    uint32_t location = static_cast<uint32_t> (busNumber & 0xFF) << 24;
    int shift = 20;

    std::istringstream ports (devpath);
    std::string port;
    while (shift >= 0 && std::getline (ports, port, '.'))
    {
        const auto number = static_cast<uint32_t> (std::strtoul (port.c_str(), nullptr, 10));
        location |= (number & 0xF) << shift;
        shift -= 4;
    }

    return location;
}

HidProperties readHidrawProperties (const std::string& sysfsPath)
{
    HidProperties properties;

    std::error_code error;
    auto folder = std::filesystem::canonical (sysfsPath, error);
    if (error)
        return properties;

    // hidrawN sits in .../<usb device>/<interface>/<hid device>/hidraw/hidrawN.
    while (folder.has_relative_path() && !isUsbDevice (folder))
        folder = folder.parent_path();

    if (!isUsbDevice (folder))
        return properties;

    addNumber (properties, "VendorID", folder / "idVendor", 16);
    addNumber (properties, "ProductID", folder / "idProduct", 16);
    addNumber (properties, "VersionNumber", folder / "bcdDevice", 16);

    std::string bus, devpath;
    if (readAttribute (folder / "busnum", bus) && readAttribute (folder / "devpath", devpath))
        properties["LocationID"] = usbLocationId (std::atoi (bus.c_str()), devpath);

    return properties;
}

namespace
{

/** hidraw devices from udev: those there at the start, then arrivals and removals from a udev
    monitor watched on the message thread. */
class LinuxHidBackend : public HidBackend
{
public:
    ~LinuxHidBackend() override
    {
        stopMonitor();
        if (m_udev != nullptr)
            udev_unref (m_udev);
    }

    bool start (Listener& listener) override
    {
        m_udev = udev_new();
        if (m_udev == nullptr)
            return false;

        m_listener = &listener;

        // The monitor first, so that a device plugged in during the enumeration is not missed;
        // the listener keeps the first news of a device.
        startMonitor();
        return enumerate();
    }

private:
    bool enumerate()
    {
        auto* enumeration = udev_enumerate_new (m_udev);
        if (enumeration == nullptr)
            return false;

        udev_enumerate_add_match_subsystem (enumeration, "hidraw");
        udev_enumerate_scan_devices (enumeration);

        udev_list_entry* entry = nullptr;
        udev_list_entry_foreach (entry, udev_enumerate_get_list_entry (enumeration))
        {
            if (auto* device = udev_device_new_from_syspath (m_udev, udev_list_entry_get_name (entry)))
            {
                m_listener->deviceAttached (describe (device));
                udev_device_unref (device);
            }
        }

        udev_enumerate_unref (enumeration);
        return true;
    }

    static HidDeviceDescription describe (udev_device* device)
    {
        HidDeviceDescription description;
        description.id = udev_device_get_syspath (device);

        const char* devnode = udev_device_get_devnode (device);
        description.node =
            devnode != nullptr ? devnode : std::string ("/dev/") + udev_device_get_sysname (device);
        description.properties = readHidrawProperties (description.id);

        // Opened only when the device is used: most HID devices of the machine never are. Never
        // as a controlling terminal: a node that is a terminal would hang up the program with it.
        description.openReportChannel = [node = description.node]
        {
            const int fd = ::open (node.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
            return fd >= 0 ? fd : -errno;
        };
        return description;
    }

    void startMonitor()
    {
        // Without udevd (containers) its events never come; the kernel's own still do, if any.
        const bool udevdRuns = ::access ("/run/udev/control", F_OK) == 0;

        m_monitor = udev_monitor_new_from_netlink (m_udev, udevdRuns ? "udev" : "kernel");
        if (m_monitor == nullptr)
            return;

        if (udev_monitor_filter_add_match_subsystem_devtype (m_monitor, "hidraw", nullptr) < 0 ||
            udev_monitor_enable_receiving (m_monitor) < 0 || udev_monitor_get_fd (m_monitor) < 0)
        {
            udev_monitor_unref (m_monitor);
            m_monitor = nullptr;
            return;
        }

        m_monitorFd = udev_monitor_get_fd (m_monitor);
        juce::LinuxEventLoop::registerFdCallback (m_monitorFd, [this] (int) { receiveEvents(); });
    }

    void stopMonitor()
    {
        if (m_monitorFd >= 0)
            juce::LinuxEventLoop::unregisterFdCallback (m_monitorFd);
        m_monitorFd = -1;

        if (m_monitor != nullptr)
            udev_monitor_unref (m_monitor);
        m_monitor = nullptr;
    }

    void receiveEvents()
    {
        if (m_monitor == nullptr)
            return;

        while (auto* device = udev_monitor_receive_device (m_monitor))
        {
            const std::string action =
                udev_device_get_action (device) != nullptr ? udev_device_get_action (device) : "";
            if (action == "add")
                m_listener->deviceAttached (describe (device));
            else if (action == "remove")
                m_listener->deviceDetached (udev_device_get_syspath (device));
            udev_device_unref (device);
        }

        // The event loop calls back on any event, so a socket that has hung up would call for ever.
        pollfd state{ m_monitorFd, POLLIN, 0 };
        if (poll (&state, 1, 0) > 0 && (state.revents & (POLLHUP | POLLNVAL)) != 0)
            stopMonitor();
    }

    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
    int m_monitorFd = -1;
    Listener* m_listener = nullptr;
};

}  // namespace

std::unique_ptr<HidBackend> createLinuxHidBackend()
{
    return std::make_unique<LinuxHidBackend>();
}

}  // namespace platform

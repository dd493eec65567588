#include "support/umockdev/UmockdevTestbed.h"

#include "support/PrivateNamespaces.h"

#include <gtest/gtest.h>
#include <umockdev.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <link.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace qvxtest
{

namespace
{

constexpr const char* preloadLibrary = "libumockdev-preload.so.0";

/** The paths of the loaded libraries whose file name contains one of the parts. */
std::vector<std::string> loadedLibraries (const std::vector<std::string>& nameParts)
{
    struct Search
    {
        const std::vector<std::string>* parts;
        std::vector<std::string> found;
    } search{ &nameParts, {} };

    dl_iterate_phdr (
        [] (dl_phdr_info* info, size_t, void* data)
        {
            auto& s = *static_cast<Search*> (data);
            const std::string path = info->dlpi_name != nullptr ? info->dlpi_name : "";
            const auto slash = path.rfind ('/');
            const auto name = slash == std::string::npos ? path : path.substr (slash + 1);

            for (const auto& part : *s.parts)
                if (!name.empty() && name.find (part) != std::string::npos)
                    s.found.push_back (path);
            return 0;
        },
        &search);

    return search.found;
}

}  // namespace

bool isUnderUmockdevPreload()
{
    return !loadedLibraries ({ "libumockdev-preload.so" }).empty();
}

void reexecuteUnderUmockdevPreload (char** argv)
{
    if (isUnderUmockdevPreload())
        return;

    // Started anew once already: the library could not be loaded (the loader said why).
    constexpr const char* marker = "QVX_STARTED_UNDER_UMOCKDEV";
    if (std::getenv (marker) != nullptr)
    {
        std::fprintf (stderr, "%s did not load; is umockdev installed?\n", preloadLibrary);
        return;
    }
    ::setenv (marker, "1", 1);

    // GCC's sanitizers are shared libraries; ASan refuses to run unless its runtime is the first
    // library loaded, and either runtime must see each call before umockdev's wrappers do.
    std::string preload;
    for (const auto& runtime : loadedLibraries ({ "libasan.so", "libtsan.so" }))
        preload += runtime + ":";

    preload += preloadLibrary;

    if (const char* earlier = std::getenv ("LD_PRELOAD"); earlier != nullptr && *earlier != '\0')
        preload += std::string (":") + earlier;

    ::setenv ("LD_PRELOAD", preload.c_str(), 1);
    ::execv ("/proc/self/exe", argv);

    std::fprintf (stderr, "Could not start anew under %s: %s\n", preloadLibrary, std::strerror (errno));
}

//==============================================================================
std::string UsbHidDevice::usbDevicePath() const
{
    return "/sys" + hostController + "/usb" + std::to_string (busNumber) + "/" + std::to_string (busNumber) +
           "-" + ports;
}

std::string UsbHidDevice::interfacePath() const
{
    return usbDevicePath() + "/" + std::to_string (busNumber) + "-" + ports + ":1.0";
}

std::string UsbHidDevice::hidDevicePath() const
{
    char name[32];
    std::snprintf (name, sizeof (name), "0003:%04X:%04X.%04X",
                   static_cast<unsigned> (std::strtoul (idVendor.c_str(), nullptr, 16)),
                   static_cast<unsigned> (std::strtoul (idProduct.c_str(), nullptr, 16)),
                   static_cast<unsigned> (hidInstance));
    return interfacePath() + "/" + name;
}

std::string UsbHidDevice::hidrawPath() const
{
    return hidDevicePath() + "/hidraw/hidraw" + std::to_string (hidrawNumber);
}

std::string UsbHidDevice::node() const
{
    return "/dev/hidraw" + std::to_string (hidrawNumber);
}

namespace
{

/** The device in umockdev-record's format: parents first, each paragraph's path without /sys. */
std::string recordOf (const UsbHidDevice& device)
{
    const auto withoutSys = [] (const std::string& path) { return path.substr (4); };
    const auto hidraw = "hidraw" + std::to_string (device.hidrawNumber);

    std::string record;
    record += "P: " + withoutSys (device.usbDevicePath()) + "\n";
    record += "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n";
    record += "E: BUSNUM=" + std::to_string (device.busNumber) + "\n";
    record += "A: idVendor=" + device.idVendor + "\\n\n";
    record += "A: idProduct=" + device.idProduct + "\\n\n";
    record += "A: bcdDevice=" + device.bcdDevice + "\\n\n";
    record += "A: busnum=" + std::to_string (device.busNumber) + "\\n\n";
    record += "A: devpath=" + device.ports + "\\n\n\n";

    record += "P: " + withoutSys (device.interfacePath()) + "\n";
    record += "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\nE: INTERFACE=3/0/0\n";
    record += "A: bInterfaceClass=03\\n\nA: bInterfaceNumber=00\\n\n\n";

    record += "P: " + withoutSys (device.hidDevicePath()) + "\n";
    record += "E: SUBSYSTEM=hid\nE: DRIVER=hid-generic\n\n";

    record += "P: " + withoutSys (device.hidrawPath()) + "\n";
    if (device.withNode)
        record += "N: " + hidraw + "\n";
    record += "E: SUBSYSTEM=hidraw\nE: DEVNAME=/dev/" + hidraw + "\n";
    record += "E: MAJOR=240\nE: MINOR=" + std::to_string (device.hidrawNumber) + "\n";
    record += "A: dev=240:" + std::to_string (device.hidrawNumber) + "\\n\n\n";
    return record;
}

}  // namespace

int startUmockdevTestProcess (int& argc, char** argv)
{
    // First of all: the uevents of a test bed reach a monitor only from a process that runs under
    // the preload itself, and the programs the tests start inherit it.
    const bool listing = [&]
    {
        for (int i = 1; i < argc; ++i)
            if (std::string (argv[i]) == "--gtest_list_tests")
                return true;
        return false;
    }();

    if (!listing)
    {
        reexecuteUnderUmockdevPreload (argv);
        if (!isUnderUmockdevPreload())
            return 1;
    }

    testing::InitGoogleTest (&argc, argv);

    if (GTEST_FLAG_GET (list_tests))
        return RUN_ALL_TESTS();

    // The updater's single-instance lock and socket then never meet another run's copy, and the
    // tests can give /run a udev of their choice.
    const auto isolation = enterPrivateNamespaces();
    if (!isolation.empty())
        std::fprintf (stderr, "Running without private namespaces (%s)\n", isolation.c_str());

    return -1;
}

//==============================================================================
UmockdevTestbed::UmockdevTestbed()
    : m_testbed (umockdev_testbed_new())
{
}

UmockdevTestbed::~UmockdevTestbed()
{
    g_object_unref (m_testbed);
}

std::string UmockdevTestbed::rootDir() const
{
    const std::lock_guard<std::mutex> guard (m_lock);
    gchar* root = umockdev_testbed_get_root_dir (m_testbed);
    std::string result = root != nullptr ? root : "";
    g_free (root);
    return result;
}

bool UmockdevTestbed::addFromRecord (const std::string& record)
{
    const std::lock_guard<std::mutex> guard (m_lock);
    GError* error = nullptr;

    if (umockdev_testbed_add_from_string (m_testbed, record.c_str(), &error))
        return true;

    ADD_FAILURE() << "umockdev refused the devices: " << (error != nullptr ? error->message : "") << "\n"
                  << record;
    if (error != nullptr)
        g_error_free (error);
    return false;
}

bool UmockdevTestbed::plug (const UsbHidDevice& device)
{
    return addFromRecord (recordOf (device));
}

void UmockdevTestbed::unplug (const UsbHidDevice& device)
{
    const std::lock_guard<std::mutex> guard (m_lock);

    // umockdev sends a uevent only for a device that is still in sysfs.
    for (const auto& path :
         { device.hidrawPath(), device.hidDevicePath(), device.interfacePath(), device.usbDevicePath() })
    {
        umockdev_testbed_uevent (m_testbed, path.c_str(), "remove");
        umockdev_testbed_remove_device (m_testbed, path.c_str());
    }
}

void UmockdevTestbed::sendUevent (const std::string& syspath, const char* action)
{
    const std::lock_guard<std::mutex> guard (m_lock);
    umockdev_testbed_uevent (m_testbed, syspath.c_str(), action);
}

int UmockdevTestbed::nodeMaster (const std::string& node)
{
    const std::lock_guard<std::mutex> guard (m_lock);
    const int fd = umockdev_testbed_get_dev_fd (m_testbed, node.c_str());

    // A report is bytes, not text: no line editing, no echo, no signals, nothing translated.
    termios settings{};
    if (fd >= 0 && ::tcgetattr (fd, &settings) == 0)
    {
        ::cfmakeraw (&settings);
        ::tcsetattr (fd, TCSANOW, &settings);
    }

    return fd;
}

}  // namespace qvxtest

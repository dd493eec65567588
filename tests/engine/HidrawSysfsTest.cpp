#include "platform/io/HidrawSysfs.h"
#include "platform/io/HidBackend.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <unistd.h>

using platform::HidProperties;

namespace
{

/** Writes a sysfs-like tree: a USB bus, a hub on port 1, the device on the hub's port 4 with its
    HID interface and hidraw node, and a /sys/class-style link to the node. */
struct FakeSysfs
{
    FakeSysfs()
    {
        usb (bus, "1d6b", "0002", "0602", "3", "0");
        usb (hub, "05e3", "0608", "6060", "3", "1");
        usb (device, "5e21", "0026", "0123", "3", "1.4");
        interface.getChildFile ("bInterfaceNumber").replaceWithText ("00\n");
        hidraw.createDirectory();
        hidraw.getChildFile ("dev").replaceWithText ("243:2\n");
        link.getParentDirectory().createDirectory();
        EXPECT_EQ (::symlink (hidraw.getFullPathName().toRawUTF8(), link.getFullPathName().toRawUTF8()), 0);
    }

    static void usb (const juce::File& folder, const char* vendor, const char* product, const char* release,
                     const char* busnum, const char* devpath)
    {
        folder.createDirectory();
        folder.getChildFile ("idVendor").replaceWithText (juce::String (vendor) + "\n");
        folder.getChildFile ("idProduct").replaceWithText (juce::String (product) + "\n");
        folder.getChildFile ("bcdDevice").replaceWithText (juce::String (release) + "\n");
        folder.getChildFile ("busnum").replaceWithText (juce::String (busnum) + "\n");
        folder.getChildFile ("devpath").replaceWithText (juce::String (devpath) + "\n");
    }

    qvxtest::TemporaryFolder root;
    juce::File bus = root.getChildFile ("devices/pci0000:00/0000:00:14.0/usb3");
    juce::File hub = bus.getChildFile ("3-1");
    juce::File device = hub.getChildFile ("3-1.4");
    juce::File interface = device.getChildFile ("3-1.4:1.0");
    juce::File hidraw = interface.getChildFile ("0003:5E21:0026.0007/hidraw/hidraw2");
    juce::File link = root.getChildFile ("class/hidraw/hidraw2");
};

}  // namespace

TEST (HidrawSysfs, TakesThePropertiesFromTheNearestUsbDevice)
{
    FakeSysfs sysfs;
    const HidProperties expected{ { "VendorID", int64_t{ 0x5E21 } },
                                  { "ProductID", int64_t{ 0x0026 } },
                                  { "VersionNumber", int64_t{ 0x0123 } },
                                  { "LocationID", int64_t{ 0x03140000 } } };

    EXPECT_EQ (platform::readHidrawProperties (sysfs.hidraw.getFullPathName().toStdString()), expected);
    EXPECT_EQ (platform::readHidrawProperties (sysfs.link.getFullPathName().toStdString()), expected);
}

TEST (HidrawSysfs, LeavesOutWhatCannotBeRead)
{
    FakeSysfs sysfs;
    sysfs.device.getChildFile ("bcdDevice").deleteFile();
    sysfs.device.getChildFile ("idProduct").replaceWithText ("none\n");
    sysfs.device.getChildFile ("busnum").deleteFile();

    EXPECT_EQ (platform::readHidrawProperties (sysfs.hidraw.getFullPathName().toStdString()),
               (HidProperties{ { "VendorID", int64_t{ 0x5E21 } } }));
}

TEST (HidrawSysfs, ADeviceWithoutUsbAboveHasNoProperties)
{
    qvxtest::TemporaryFolder root;
    const auto node = root.getChildFile ("devices/virtual/misc/uhid/0003:1234:5678.0001/hidraw/hidraw0");
    node.createDirectory();

    EXPECT_TRUE (platform::readHidrawProperties (node.getFullPathName().toStdString()).empty());
    EXPECT_TRUE (
        platform::readHidrawProperties (root.getChildFile ("missing").getFullPathName().toStdString())
            .empty());
}

TEST (HidrawSysfs, LocationIdsFollowBusAndPorts)
{
    struct Case
    {
        int bus;
        const char* devpath;
        int64_t expected;
    };
    const Case cases[] = {
        { 1, "2.3.4", 0x01234000 },         { 3, "1", 0x03100000 },
        { 3, "1.4", 0x03140000 },           { 3, "4.1", 0x03410000 },  // other ports, other value
        { 0x81, "15.1", 0x81F10000 },                                  // top bit set
        { 2, "1.2.3.4.5.6", 0x02123456 },                              // the deepest USB allows
        { 2, "1.2.3.4.5.6.7", 0x02123456 },
    };

    for (const auto& c : cases)
        EXPECT_EQ (platform::usbLocationId (c.bus, c.devpath), c.expected) << c.bus << " " << c.devpath;
}

TEST (LinuxHidBackend, StartsWithoutUdevdAndListsOnlyHidrawDevices)
{
    struct Listener : platform::HidBackend::Listener
    {
        void deviceAttached (const platform::HidDeviceDescription& device) override
        {
            ids.push_back (device.id);
        }
        void deviceDetached (const std::string&) override {}
        std::vector<std::string> ids;
    } listener;

    auto backend = platform::createLinuxHidBackend();
    ASSERT_TRUE (backend->start (listener));
    for (const auto& id : listener.ids)
        EXPECT_NE (id.find ("/hidraw/hidraw"), std::string::npos) << id;
}

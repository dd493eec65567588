#pragma once

// Devices faked with umockdev for tests of the real Linux controller link: its preload library
// gives a process a /sys, /dev nodes and uevents of the test's own, so that real libudev
// enumerates, monitors and opens what a test describes.
//
// How a test executable uses it:
// - main calls reexecuteUnderUmockdevPreload (argv) first thing: the process runs anew under the
//   preload library, which every program it starts afterwards inherits (LD_PRELOAD).
// - A test makes one UmockdevTestbed and adds devices to it. It sets UMOCKDEV_DIR, so the
//   process itself and programs it starts from then on (the real updater, say) see its devices.
// - A device with a /dev node gets a pty: what the program writes to the node arrives at the
//   test's end (nodeMaster) as a byte stream; what the test writes there is read by the program,
//   one report per read as long as it reads each one before the next is written.
// - The test process must run under the preload even when only the program uses the devices:
//   umockdev sends uevents only from a process that sees the bed ("No such device" otherwise).

#include <mutex>
#include <string>

struct _UMockdevTestbed;

namespace qvxtest
{

/** Whether umockdev's preload library is loaded into this process. */
bool isUnderUmockdevPreload();

/** Starts this program anew under umockdev's preload library, unless it already runs under it.
    The sanitizer runtime of a sanitizer build stays first in the preload list, ahead of
    umockdev's, as AddressSanitizer demands. Returns only when the process already runs under the
    preload, or when the new start failed (with a message on standard error). Call it first thing
    in main, before any thread starts, with main's argv as it came. */
void reexecuteUnderUmockdevPreload (char** argv);

/** What the main of every test executable against umockdev does first, before any thread starts:
    runs the process anew under the preload library (not for a listing of the tests), takes
    GoogleTest's arguments and enters private mount and network namespaces (the tests that need
    them skip without root). Returns -1 when the tests are to run now, else the exit status to end
    with: the listing has been written, or the preload could not be had. */
int startUmockdevTestProcess (int& argc, char** argv);

/** One USB HID device as sysfs shows it: the USB device with its identifiers and its port, its
    first interface, the HID device, and the hidraw device with its /dev node. Numbers are text as
    the kernel writes them: "5e21", "0026", "0123". */
struct UsbHidDevice
{
    /** The USB host controller's folder below /sys. */
    std::string hostController = "/devices/pci0000:00/0000:00:14.0";
    int busNumber = 1;
    /** The ports from the root hub on, the kernel's devpath: "2", "1.4". */
    std::string ports = "2";
    std::string idVendor;
    std::string idProduct;
    std::string bcdDevice = "0100";
    /** The HID device's sequence number, as in 0003:5E21:0026.0001. */
    int hidInstance = 1;
    /** hidrawN, character device 240:N, node /dev/hidrawN. */
    int hidrawNumber = 0;
    /** False: the devices are in sysfs, but there is no /dev node. */
    bool withNode = true;

    std::string usbDevicePath() const;  // "/sys/devices/.../usb1/1-2"
    std::string interfacePath() const;
    std::string hidDevicePath() const;
    std::string hidrawPath() const;  // what udev gives as the hidraw device's syspath
    std::string node() const;        // "/dev/hidrawN"
};

/** A umockdev test bed: an empty /sys and /dev of the test's own, removed again with the object.
    One at a time in a process (it owns UMOCKDEV_DIR). Needs the preload library in this process.
    Every member may be called from any thread. */
class UmockdevTestbed
{
public:
    UmockdevTestbed();
    ~UmockdevTestbed();

    /** The folder that stands in for / where /sys and /dev are concerned. */
    std::string rootDir() const;

    /** Plugs the device in: the four devices appear in sysfs, with a fresh pty as the node, and
        umockdev announces each with an "add" uevent, parents first. A node name cannot be used
        again in the same bed, even after the device's removal: give a new device a new
        hidrawNumber. False, with a test failure, when the bed refuses the description. */
    bool plug (const UsbHidDevice& device);

    /** Unplugs the device as the kernel does: for each of the four devices, the hidraw device
        first, a "remove" uevent, then its removal from sysfs. The node's pty stays open at the
        test's end, so what a program still writes to it afterwards can be seen. */
    void unplug (const UsbHidDevice& device);

    /** Adds devices described in umockdev-record's text format. False with a test failure. */
    bool addFromRecord (const std::string& record);

    void sendUevent (const std::string& syspath, const char* action);

    /** The test's end of the pty behind the node ("/dev/hidrawN"), set raw: bytes pass
        unchanged, with no echo and no signals. -1 when the node is not a pty of this bed.
        Owned by the bed: never close it. */
    int nodeMaster (const std::string& node);

    UmockdevTestbed (const UmockdevTestbed&) = delete;
    UmockdevTestbed& operator= (const UmockdevTestbed&) = delete;

private:
    mutable std::mutex m_lock;
    _UMockdevTestbed* m_testbed = nullptr;
};

}  // namespace qvxtest

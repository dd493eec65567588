#pragma once

// How the Linux backend describes a hidraw device from sysfs, apart from udev so that it can be
// checked on a folder tree made to look like sysfs.

#include "platform/io/HidBackend.h"

#include <cstdint>
#include <string>

namespace platform
{

/** The properties of the hidraw device whose sysfs folder is sysfsPath (links are resolved):
    "VendorID", "ProductID" and "VersionNumber" from the idVendor, idProduct and bcdDevice of the
    nearest USB device above it, and "LocationID" from that device's busnum and devpath. A file
    that is missing or unreadable leaves its property out; no USB device above leaves them all
    out. Any thread. */
HidProperties readHidrawProperties (const std::string& sysfsPath);

/** A USB device's location as a 32-bit value, the same for the same port whatever is plugged in:
    the bus number in the top byte, then the ports of devpath ("2.3.4"), one nibble each from
    bit 20 down, so 0x01234000 for bus 1, devpath "2.3.4". Devices attached at once differ as long
    as no port number is above 15 (such a port keeps its low four bits); ports past the sixth,
    deeper than USB allows, are left out. */
int64_t usbLocationId (int busNumber, const std::string& devpath);

}  // namespace platform

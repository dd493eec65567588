#pragma once

// What the HID manager of IOHID.h needs of the system: the HID devices that are attached, their
// arrivals and removals, and a file descriptor per device to exchange reports over. The program
// uses the Linux backend (udev and hidraw); tests give the link simulated devices instead.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <variant>

namespace platform
{

/** A device property: a number or a text. */
using HidPropertyValue = std::variant<int64_t, std::string>;
using HidProperties = std::map<std::string, HidPropertyValue>;

/** One attached HID device as a backend describes it. */
struct HidDeviceDescription
{
    /** Tells this device apart from every other one the backend has attached; a removal names it. */
    std::string id;
    /** What to name in a message about the device, e.g. its /dev node. */
    std::string node;
    HidProperties properties;
    /** Opens the device's report channel: a file descriptor that gives one input report per read
        and takes one output report per write, report number first. Returns the descriptor, or
        -errno when the device cannot be opened. Any thread. */
    std::function<int()> openReportChannel;
};

/** The source of the HID devices of one manager. */
class HidBackend
{
public:
    /** Told of the devices; called on the message thread only. */
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void deviceAttached (const HidDeviceDescription& device) = 0;
        /** The device of this id has gone; ids that are not known are to be ignored. */
        virtual void deviceDetached (const std::string& id) = 0;
    };

    virtual ~HidBackend() = default;

    /** Tells the listener of every device attached now, before returning, then of arrivals and
        removals as they happen. The same device may be told of twice; a listener keeps the first.
        False when the devices cannot be reached at all (the listener hears nothing). Message
        thread; the listener must outlive the backend. */
    virtual bool start (Listener& listener) = 0;
};

/** Makes the backend of a HID manager, once, when the manager opens; null when there is none to
    be had (the manager then does not open). An empty one opens nothing, and says so. */
using HidBackendFactory = std::function<std::unique_ptr<HidBackend>()>;

/** The Linux backend: udev enumeration and monitoring of hidraw devices. The program's. */
std::unique_ptr<HidBackend> createLinuxHidBackend();

}  // namespace platform

#include "platform/io/IOHID.h"

#include "platform/io/CFObject.h"
#include "platform/io/HidBackend.h"
#include "platform/io/ReportChannel.h"

#include <juce_events/juce_events.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <utility>

//==============================================================================
struct IOHIDDeviceImpl : CFObject
{
    explicit IOHIDDeviceImpl (const platform::HidDeviceDescription& description);
    ~IOHIDDeviceImpl() override
    {
        closeChannel();
        CFRelease (properties);
    }

    /** The open channel, opened first if need be; null, with errno telling why, when the device
        has gone or its node cannot be opened, which is tried and reported once. Any thread. */
    std::shared_ptr<platform::ReportChannel> getChannel();
    /** Message thread. */
    void closeChannel();
    void deliverReport (const uint8_t* report, size_t length);
    /** The channel found the device gone: the manager hears of the removal at once, before its
        backend may tell of it. Message thread; this object may be released before it returns. */
    void channelEnded();
    /** Writes one report; on failure says why on standard error, once per device, and leaves
        errno as IOHIDDeviceSetReport tells it. Any thread. */
    IOReturn send (uint8_t reportNumber, const uint8_t* report, size_t length);

    const std::string id;
    const std::string node;
    CFMutableDictionaryRef properties;
    const std::function<int()> openReportChannel;

    // Message thread only.
    IOHIDCallback removalCallback = nullptr;
    void* removalContext = nullptr;
    IOHIDReportCallback inputCallback = nullptr;
    void* inputContext = nullptr;
    unsigned char* inputBuffer = nullptr;
    CFIndex inputBufferLength = 0;
    bool scheduled = false;
    bool announced = false;
    /** The manager that lists the device; null once it has let go of it. */
    IOHIDManagerImpl* manager = nullptr;

    std::mutex channelLock;  // guards the members below against senders on other threads
    std::shared_ptr<platform::ReportChannel> channel;
    /** Why the node could not be opened; 0 while it has not failed. */
    int openError = 0;
    bool attached = true;
    bool sendFailed = false;
};

IOHIDDeviceImpl::IOHIDDeviceImpl (const platform::HidDeviceDescription& description)
    : CFObject (platform::hidDeviceType)
    , id (description.id)
    , node (description.node)
    , properties (new CFDictionaryImpl (&kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks))
    , openReportChannel (description.openReportChannel)
{
    for (const auto& [key, value] : description.properties)
    {
        CFTypeRef object =
            std::holds_alternative<int64_t> (value)
                ? static_cast<CFTypeRef> (platform::createNumber (std::get<int64_t> (value)))
                : static_cast<CFTypeRef> (platform::createString (std::get<std::string> (value)));
        CFDictionarySetValue (properties, CFSTR (key.c_str()), object);
        CFRelease (object);
    }
}

std::shared_ptr<platform::ReportChannel> IOHIDDeviceImpl::getChannel()
{
    const std::lock_guard<std::mutex> guard (channelLock);
    if (channel != nullptr)
        return channel;

    if (!attached)
    {
        errno = ENODEV;
        return nullptr;
    }

    if (openError == 0)
    {
        const int fd = openReportChannel != nullptr ? openReportChannel() : -ENODEV;
        if (fd >= 0)
        {
            channel = std::make_shared<platform::ReportChannel> (fd);
            return channel;
        }

        // Once per device, so that a user who lacks the rights sees why, and sees it once.
        openError = -fd;
        if (openError != ENOENT)
            std::fprintf (stderr, "Cannot open the HID device %s: %s\n", node.c_str(),
                          std::strerror (openError));
        if (openError == EACCES || openError == EPERM)
            std::fprintf (stderr,
                          "The udev rule packaging/70-qvx720.rules gives the user at the seat access to "
                          "the controller: install it into /etc/udev/rules.d, then plug the controller "
                          "in again (see README).\n");
    }

    // A node that is not there (any more) belongs to a device that has gone.
    const auto nodeGone = openError == ENOENT || openError == ENODEV || openError == ENXIO;
    errno = nodeGone ? ENODEV : openError;
    return nullptr;
}

IOReturn IOHIDDeviceImpl::send (uint8_t reportNumber, const uint8_t* report, size_t length)
{
    const auto channel = getChannel();
    if (channel == nullptr)
        return errno == ENODEV ? kIOReturnNotAttached : kIOReturnNotOpen;

    if (channel->write (reportNumber, report, length))
        return kIOReturnSuccess;

    // A channel that was closed meanwhile, as the device was let go, needs no word.
    const auto reason = errno;
    if (reason == EBADF)
    {
        errno = ENODEV;
        return kIOReturnNotAttached;
    }

    bool first = false;
    {
        const std::lock_guard<std::mutex> guard (channelLock);
        first = !std::exchange (sendFailed, true);
    }

    if (first)
        std::fprintf (stderr, "Cannot send to the HID device %s: %s\n", node.c_str(), std::strerror (reason));

    if (channel->failedBecauseDeviceHasGone (reason))
    {
        errno = ENODEV;
        return kIOReturnNotAttached;
    }

    errno = reason;
    return kIOReturnError;
}

void IOHIDDeviceImpl::closeChannel()
{
    std::shared_ptr<platform::ReportChannel> closing;
    {
        const std::lock_guard<std::mutex> guard (channelLock);
        closing = std::move (channel);
        channel = nullptr;
    }

    if (closing != nullptr)
        closing->close();
}

void IOHIDDeviceImpl::deliverReport (const uint8_t* report, size_t length)
{
    if (!scheduled || inputCallback == nullptr || inputBuffer == nullptr || inputBufferLength <= 0)
        return;

    std::memcpy (inputBuffer, report, std::min (length, static_cast<size_t> (inputBufferLength)));
    inputCallback (inputContext, kIOReturnSuccess, this, kIOHIDReportTypeInput, 0, inputBuffer,
                   static_cast<long> (length));
}

//==============================================================================
struct IOHIDManagerImpl : CFObject, platform::HidBackend::Listener
{
    explicit IOHIDManagerImpl (platform::HidBackendFactory factory)
        : CFObject (platform::hidManagerType)
        , makeBackend (std::move (factory))
    {
    }
    ~IOHIDManagerImpl() override;

    void deviceAttached (const platform::HidDeviceDescription& description) override;
    void deviceDetached (const std::string& id) override;

    bool matches (IOHIDDeviceImpl& device) const;
    /** Tells the matching callback of the device, once, when the manager is scheduled. */
    void announce (IOHIDDeviceImpl& device);
    /** Tells the matching callback, on a later turn of the message loop, of the devices there. */
    void announcePresentDevicesLater();

    const platform::HidBackendFactory makeBackend;
    std::unique_ptr<platform::HidBackend> backend;
    bool open = false;
    bool matchAll = true;
    std::vector<CFDictionaryRef> criteria;
    std::vector<IOHIDDeviceImpl*> devices;
    IOHIDDeviceCallback matchingCallback = nullptr;
    void* matchingContext = nullptr;
    bool scheduled = false;
    bool announcementPending = false;
};

IOHIDManagerImpl::~IOHIDManagerImpl()
{
    backend.reset();
    for (auto* device : devices)
    {
        device->manager = nullptr;
        CFRelease (device);
    }
    for (auto* dictionary : criteria)
        CFRelease (dictionary);
}

void IOHIDManagerImpl::deviceAttached (const platform::HidDeviceDescription& description)
{
    const auto known = std::any_of (devices.begin(), devices.end(),
                                    [&] (const auto* device) { return device->id == description.id; });
    if (known)
        return;

    auto* device = new IOHIDDeviceImpl (description);
    device->manager = this;
    devices.push_back (device);
    announce (*device);
}

void IOHIDManagerImpl::deviceDetached (const std::string& id)
{
    const auto found =
        std::find_if (devices.begin(), devices.end(), [&] (const auto* device) { return device->id == id; });
    if (found == devices.end())
        return;

    // Our reference, taken over from the list, keeps the device alive through its callback.
    auto* device = *found;
    devices.erase (found);
    device->manager = nullptr;

    {
        const std::lock_guard<std::mutex> guard (device->channelLock);
        device->attached = false;
    }

    if (device->scheduled && device->removalCallback != nullptr)
        device->removalCallback (device->removalContext, kIOReturnSuccess, device);

    device->scheduled = false;
    device->closeChannel();
    CFRelease (device);
}

void IOHIDDeviceImpl::channelEnded()
{
    // Later news of the same removal from the backend names an id the manager no longer knows.
    if (manager != nullptr)
        manager->deviceDetached (std::string (id));
}

bool IOHIDManagerImpl::matches (IOHIDDeviceImpl& device) const
{
    if (matchAll)
        return true;

    return std::any_of (criteria.begin(), criteria.end(),
                        [&] (CFDictionaryRef dictionary)
                        {
                            return std::all_of (dictionary->entries.begin(), dictionary->entries.end(),
                                                [&] (const auto& entry) {
                                                    return platform::valuesEqual (
                                                        CFDictionaryGetValue (device.properties, entry.first),
                                                        entry.second);
                                                });
                        });
}

void IOHIDManagerImpl::announce (IOHIDDeviceImpl& device)
{
    if (!scheduled || matchingCallback == nullptr || device.announced || !matches (device))
        return;

    device.announced = true;
    matchingCallback (matchingContext, kIOReturnSuccess, this, &device);
}

void IOHIDManagerImpl::announcePresentDevicesLater()
{
    if (!scheduled || matchingCallback == nullptr || announcementPending)
        return;

    // The message holds a reference to the manager, given back also when it is never delivered
    // (the loop ends first).
    announcementPending = true;
    CFRetain (this);
    const std::shared_ptr<IOHIDManagerImpl> held (this, [] (IOHIDManagerImpl* manager) { CFRelease (manager); });

    const auto posted = juce::MessageManager::callAsync (
        [held]
        {
            held->announcementPending = false;

            // A callback may change the list (not in the program, but nothing forbids it).
            auto present = held->devices;
            for (auto* device : present)
                CFRetain (device);
            for (auto* device : present)
            {
                held->announce (*device);
                CFRelease (device);
            }
        });

    if (!posted)
        announcementPending = false;
}

//==============================================================================
namespace
{

IOHIDManagerImpl* managerOf (IOHIDManagerRef ref)
{
    return platform::objectOfType<IOHIDManagerImpl> (ref, platform::hidManagerType);
}

IOHIDDeviceImpl* deviceOf (IOHIDDeviceRef ref)
{
    return platform::objectOfType<IOHIDDeviceImpl> (ref, platform::hidDeviceType);
}

bool isDefaultMode (CFRunLoopRef runLoop, CFStringRef mode)
{
    return runLoop != nullptr && platform::valuesEqual (mode, kCFRunLoopDefaultMode);
}

}  // namespace

//==============================================================================
IOHIDManagerRef IOHIDManagerCreate (CFAllocatorRef, IOOptionBits, platform::HidBackendFactory backend)
{
    return new IOHIDManagerImpl (std::move (backend));
}

void IOHIDManagerSetDeviceMatchingMultiple (IOHIDManagerRef ref, CFArrayRef multiple)
{
    auto* manager = managerOf (ref);
    if (manager == nullptr)
        return;

    for (auto* dictionary : manager->criteria)
        CFRelease (dictionary);
    manager->criteria.clear();

    manager->matchAll = multiple == nullptr;
    for (CFIndex i = 0; i < CFArrayGetCount (multiple); ++i)
    {
        const auto* value = CFArrayGetValueAtIndex (multiple, i);
        if (CFGetTypeID (value) == platform::dictionaryType)
            manager->criteria.push_back (static_cast<CFDictionaryRef> (CFRetain (value)));
    }
}

IOReturn IOHIDManagerOpen (IOHIDManagerRef ref, IOOptionBits)
{
    auto* manager = managerOf (ref);
    if (manager == nullptr)
        return kIOReturnBadArgument;
    if (manager->open)
        return kIOReturnSuccess;

    // Never a device of the machine by default: who makes a manager says where its devices are.
    if (manager->makeBackend == nullptr)
    {
        std::fprintf (stderr, "No HID backend was given: the HID manager reaches no device.\n");
        return kIOReturnNotOpen;
    }

    auto backend = manager->makeBackend();
    if (backend == nullptr || !backend->start (*manager))
        return kIOReturnNotOpen;

    manager->backend = std::move (backend);
    manager->open = true;
    return kIOReturnSuccess;
}

CFSetRef IOHIDManagerCopyDevices (IOHIDManagerRef ref)
{
    auto* manager = managerOf (ref);
    if (manager == nullptr || !manager->open)
        return nullptr;

    std::vector<CFTypeRef> matched;
    for (auto* device : manager->devices)
        if (manager->matches (*device))
            matched.push_back (device);

    return matched.empty() ? nullptr : new CFSetImpl (std::move (matched));
}

void IOHIDManagerRegisterDeviceMatchingCallback (IOHIDManagerRef ref, IOHIDDeviceCallback callback,
                                                 void* context)
{
    auto* manager = managerOf (ref);
    if (manager == nullptr)
        return;

    manager->matchingCallback = callback;
    manager->matchingContext = context;
    manager->announcePresentDevicesLater();
}

void IOHIDManagerScheduleWithRunLoop (IOHIDManagerRef ref, CFRunLoopRef runLoop, CFStringRef runLoopMode)
{
    auto* manager = managerOf (ref);
    if (manager == nullptr || !isDefaultMode (runLoop, runLoopMode))
        return;

    runLoop->keep (manager);
    manager->scheduled = true;
    manager->announcePresentDevicesLater();
}

void IOHIDManagerUnscheduleFromRunLoop (IOHIDManagerRef ref, CFRunLoopRef runLoop, CFStringRef runLoopMode)
{
    auto* manager = managerOf (ref);
    if (manager == nullptr || !isDefaultMode (runLoop, runLoopMode) || !manager->scheduled)
        return;

    manager->scheduled = false;
    runLoop->forget (manager);
}

//==============================================================================
CFTypeRef IOHIDDeviceGetProperty (IOHIDDeviceRef ref, CFStringRef key)
{
    auto* device = deviceOf (ref);
    return device != nullptr ? CFDictionaryGetValue (device->properties, key) : nullptr;
}

void IOHIDDeviceRegisterRemovalCallback (IOHIDDeviceRef ref, IOHIDCallback callback, void* context)
{
    if (auto* device = deviceOf (ref))
    {
        device->removalCallback = callback;
        device->removalContext = context;
    }
}

void IOHIDDeviceRegisterInputReportCallback (IOHIDDeviceRef ref, unsigned char* report, CFIndex reportLength,
                                             IOHIDReportCallback callback, void* context)
{
    if (auto* device = deviceOf (ref))
    {
        device->inputBuffer = report;
        device->inputBufferLength = reportLength;
        device->inputCallback = callback;
        device->inputContext = context;
    }
}

void IOHIDDeviceScheduleWithRunLoop (IOHIDDeviceRef ref, CFRunLoopRef runLoop, CFStringRef runLoopMode)
{
    auto* device = deviceOf (ref);
    if (device == nullptr || !isDefaultMode (runLoop, runLoopMode))
        return;

    device->scheduled = true;
    if (auto channel = device->getChannel())
        channel->startReading ([device] (const uint8_t* report, size_t length)
                               { device->deliverReport (report, length); },
                               [device] { device->channelEnded(); });
}

void IOHIDDeviceUnscheduleFromRunLoop (IOHIDDeviceRef ref, CFRunLoopRef runLoop, CFStringRef runLoopMode)
{
    auto* device = deviceOf (ref);
    if (device == nullptr || !isDefaultMode (runLoop, runLoopMode))
        return;

    device->scheduled = false;
    device->closeChannel();
}

IOReturn IOHIDDeviceSetReport (IOHIDDeviceRef ref, IOHIDReportType reportType, CFIndex reportID,
                               const uint8_t* report, CFIndex reportLength)
{
    auto* device = deviceOf (ref);
    if (device == nullptr || reportType != kIOHIDReportTypeOutput || reportID < 0 || reportID > 255 ||
        report == nullptr || reportLength <= 0 ||
        reportLength > static_cast<CFIndex> (platform::ReportChannel::maxReportLength))
    {
        errno = EINVAL;
        return kIOReturnBadArgument;
    }

    return device->send (static_cast<uint8_t> (reportID), report, static_cast<size_t> (reportLength));
}

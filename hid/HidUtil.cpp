#include "hid/HidUtil.h"

#include "hid/HidDeviceList.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

HidUtil* HidUtil::m_pinstance = nullptr;
const int32_t HidUtil::HidDeviceType[DEVICE_TYPE_NUM] = { 0, qvx720ProductId };

HidUtil::HidUtil (platform::HidBackendFactory hidBackend)
    : m_pReportBuffer (new unsigned char[reportSize])
    , m_hidBackend (std::move (hidBackend))
{
}

HidUtil::~HidUtil()
{
    finalize();
    delete[] m_pReportBuffer;

    // Its last user goes: a later instance builds a new one over the backend it is given.
    if (m_wasLive && m_pinstance == nullptr)
        HIDReleaseManager();
}

bool HidUtil::initialize (HidHandler* pHandler, int deviceType)
{
    if (m_pinstance != nullptr)
        return false;

    m_pinstance = this;
    m_wasLive = true;
    m_pHandler = pHandler;
    m_deviceType = deviceType;

    // A manager that cannot be made or opened shows only in its messages on standard error.
    HIDBuildDeviceList (0, 0, m_hidBackend);
    return true;
}

bool HidUtil::deviceMatching()
{
    if (m_pDevice != nullptr)
        return true;

    bool taken = false;
    for (IOHIDDeviceRef device = HIDGetFirstDevice(); device != nullptr; device = HIDGetNextDevice (device))
    {
        if (qvx720Matching (device))
        {
            taken = true;
            break;
        }
    }

    if (!m_matchingRegistered && gIOHIDManagerRef != nullptr)
    {
        m_matchingRegistered = true;
        IOHIDManagerRegisterDeviceMatchingCallback (gIOHIDManagerRef, Handle_DeviceMatchingCallback,
                                                    m_pinstance);
        IOHIDManagerScheduleWithRunLoop (gIOHIDManagerRef, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    }

    return taken;
}

bool HidUtil::qvx720Matching (IOHIDDeviceRef pDevice)
{
    if (m_pDevice != nullptr)
        return false;
    if (IOHIDDevice_GetVendorID (pDevice) != qvx720VendorId)
        return false;

    // A device type outside the table accepts no product.
    if (m_deviceType < DEVICE_TYPE_NONE || m_deviceType >= DEVICE_TYPE_NUM ||
        IOHIDDevice_GetProductID (pDevice) != HidDeviceType[m_deviceType])
        return false;

    {
        const std::lock_guard<std::mutex> guard (m_deviceLock);
        m_pDevice = pDevice;
    }
    std::memset (m_pReportBuffer, 0, reportSize);
    m_reportLength = 0;

    IOHIDDeviceRegisterRemovalCallback (pDevice, Handle_IOHIDDeviceRemovalCallback, this);
    IOHIDDeviceRegisterInputReportCallback (pDevice, m_pReportBuffer, reportSize,
                                            Handle_IOHIDDeviceIOHIDReportCallback, nullptr);
    IOHIDDeviceScheduleWithRunLoop (pDevice, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    return true;
}

void HidUtil::releaseDevice()
{
    // Under the lock, so that a send on another thread either finishes with the device before it
    // is unhooked or finds no device at all.
    const std::lock_guard<std::mutex> guard (m_deviceLock);

    IOHIDDeviceRegisterRemovalCallback (m_pDevice, nullptr, nullptr);
    IOHIDDeviceRegisterInputReportCallback (m_pDevice, m_pReportBuffer, reportSize, nullptr, nullptr);
    IOHIDDeviceUnscheduleFromRunLoop (m_pDevice, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);

    m_pDevice = nullptr;
    std::memset (m_pReportBuffer, 0, reportSize);
    m_reportLength = 0;
}

long HidUtil::deviceVersion()
{
    if (m_pDevice == nullptr)
        return 0;

    const long v = IOHIDDevice_GetVersionNumber (m_pDevice);
    return (v / 4096) * 1000 + ((v % 4096) / 256) * 100 + ((v % 256) / 16) * 10 + (v % 16);
}

unsigned long HidUtil::deviceInput (unsigned char* pData, unsigned long length, int)
{
    if (pData == nullptr || length == 0)
    {
        std::fprintf (stderr, "deviceInput failed. pdata:%p length:%ld\r\n", static_cast<void*> (pData),
                      static_cast<long> (length));
        return 0;
    }

    if (m_pDevice == nullptr)
    {
        std::fprintf (stderr, "deviceInput failed. m_pDevice:%p\r\n", static_cast<void*> (m_pDevice));
        return 0;
    }

    const unsigned long count = length < m_reportLength ? length : m_reportLength;
    std::memcpy (pData, m_pReportBuffer, count);
    return count;
}

bool HidUtil::deviceOutput (unsigned char* pData, unsigned long length)
{
    if (pData == nullptr || length == 0)
    {
        errno = EINVAL;
        return false;
    }

    // Held for the whole send: the message thread waits with the release until it is done.
    const std::lock_guard<std::mutex> guard (m_deviceLock);
    if (m_pDevice == nullptr)
    {
        errno = ENODEV;
        return false;
    }

    return IOHIDDeviceSetReport (m_pDevice, kIOHIDReportTypeOutput, 0, pData,
                                 static_cast<CFIndex> (length)) == kIOReturnSuccess;
}

void HidUtil::finalize()
{
    if (m_pDevice != nullptr)
        releaseDevice();

    // The shared state is the live instance's alone; a refused object leaves it be.
    if (m_pinstance == this)
    {
        HIDReleaseDeviceList();
        if (gIOHIDManagerRef != nullptr)
            IOHIDManagerRegisterDeviceMatchingCallback (gIOHIDManagerRef, nullptr, nullptr);
        m_pinstance = nullptr;
    }

    m_pHandler = nullptr;
}

void HidUtil::Handle_DeviceMatchingCallback (void* inContext, int, void*, IOHIDDeviceRef inIOHIDDeviceRef)
{
    auto* self = static_cast<HidUtil*> (inContext);
    if (self == nullptr)
        return;

    if (self->qvx720Matching (inIOHIDDeviceRef) && self->m_pHandler != nullptr)
        self->m_pHandler->matchingCallBack();
}

void HidUtil::Handle_IOHIDDeviceRemovalCallback (void* inContext, int, void* inSender)
{
    auto* self = static_cast<HidUtil*> (inContext);
    if (self == nullptr || inSender == nullptr || self->m_pDevice == nullptr)
        return;

    self->releaseDevice();

    if (self->m_pHandler != nullptr)
        self->m_pHandler->removalCallBack();
}

void HidUtil::Handle_IOHIDDeviceIOHIDReportCallback (void*, int, void*, IOHIDReportType, unsigned int,
                                                     unsigned char*, long inReportLength)
{
    HidUtil* self = m_pinstance;
    if (self == nullptr)
        return;

    // Every report counts, whatever its first byte; the buffer holds at most its own size.
    self->m_reportLength =
        static_cast<uint32_t> (std::clamp (inReportLength, 0L, static_cast<long> (reportSize)));

    // A report of no bytes has nothing to pass on; its first byte would be an earlier report's.
    if (self->m_reportLength == 0 || self->m_pReportBuffer[0] < firstAnswerTarget)
        return;

    // The bytes go up with the report, then the report is announced.
    if (self->m_pHandler != nullptr)
    {
        self->m_pHandler->inputReportCallBack (self->m_pReportBuffer, self->m_reportLength);
        self->m_pHandler->inputCallBack (0);
    }
}

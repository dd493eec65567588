#pragma once

#include "hid/HidHandler.h"
#include "platform/io/HidBackend.h"
#include "platform/io/IOHID.h"

#include <cstdint>
#include <mutex>

/** The controller's USB identification. */
constexpr long qvx720VendorId = 0x5E21;
constexpr long qvx720ProductId = 0x0026;

/** What a HidUtil is initialised for: the index into HidUtil::HidDeviceType of the product it
    accepts. The program asks for the QVX-720; the other entry accepts no real product. */
enum HidDeviceType_t : int32_t
{
    DEVICE_TYPE_NONE = 0,
    DEVICE_TYPE_QVX720 = 1,
    DEVICE_TYPE_NUM = 2
};

/** Holds the one controller: finds it among the HID devices by vendor 0x5E21 and the product of
    its device type, follows arrivals through the HID manager, hooks the held controller's removal
    and input reports, passes reports whose first byte is at least 0xF0 on to its handler, hands
    out the last report and sends output reports.

    One object is live at a time (m_pinstance). Everything runs on the message thread, except
    deviceOutput, which any thread may call. */
class HidUtil
{
public:
    /** The HID devices are those the backend finds once the device list's manager opens. */
    explicit HidUtil (platform::HidBackendFactory hidBackend);
    virtual ~HidUtil();

    /** Becomes the live instance and builds the list of every HID device. False, changing
        nothing, when another instance is live. */
    bool initialize (HidHandler* pHandler, int deviceType);

    /** Takes the first controller of the device list unless one is held, and registers for
        arrivals. True when a controller is held; the handler is not told of one taken here. */
    bool deviceMatching();

    /** Takes the device when it is a controller of our type and none is held yet. */
    bool qvx720Matching (IOHIDDeviceRef pDevice);

    /** The held controller's release number read as four BCD digits (0x0123 gives 123); 0 when
        none is held. */
    long deviceVersion();

    /** Copies the last input report, at most length bytes, and returns how many were copied.
        0, with a message on standard error, for a null destination, a length of 0 or no
        controller. */
    unsigned long deviceInput (unsigned char* pData, unsigned long length, int);

    /** Sends one output report (report 0) to the held controller and waits until it went out.
        False for null data or a length of 0 (errno EINVAL), no controller or one that has gone
        (ENODEV), or a send that failed otherwise (errno says why). Any thread: a send never
        touches a controller that the message thread has let go. */
    bool deviceOutput (unsigned char* pData, unsigned long length);

    /** Lets the controller go without telling the handler, releases the device list, drops the
        arrival callback and stops being the live instance. An object that was never the live
        instance touches only its own members. */
    void finalize();

    static void Handle_DeviceMatchingCallback (void* inContext, int inResult, void* inSender,
                                               IOHIDDeviceRef inIOHIDDeviceRef);
    static void Handle_IOHIDDeviceRemovalCallback (void* inContext, int inResult, void* inSender);
    static void Handle_IOHIDDeviceIOHIDReportCallback (void* inContext, int inResult, void* inSender,
                                                       IOHIDReportType inType, unsigned int inReportID,
                                                       unsigned char* inReport, long inReportLength);

    HidHandler* m_pHandler = nullptr;
    int32_t m_deviceType = 0;
    /** Written on the message thread under m_deviceLock; read there freely, elsewhere under it. */
    IOHIDDeviceRef m_pDevice = nullptr;
    unsigned char* m_pReportBuffer = nullptr;
    uint32_t m_reportLength = 0;
    bool m_matchingRegistered = false;

    static HidUtil* m_pinstance;
    /** The product identifier of each device type. */
    static const int32_t HidDeviceType[DEVICE_TYPE_NUM];

    /** Answers carry a target of 0xF0 or more in their first byte; other reports are not passed on. */
    static constexpr uint8_t firstAnswerTarget = 0xF0;

private:
    /** Unhooks the held controller and lets it go, under the lock that senders take. */
    void releaseDevice();

    const platform::HidBackendFactory m_hidBackend;
    std::mutex m_deviceLock;
    bool m_wasLive = false;

    HidUtil (const HidUtil&) = delete;
    HidUtil& operator= (const HidUtil&) = delete;
};

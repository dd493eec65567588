#pragma once

// Our HID manager and HID device: the operations the controller link calls, over the HID backend
// of HidBackend.h that each manager is made with (udev and hidraw in the program, simulated devices
// in tests).
//
// A manager finds the HID devices that fit its criteria and, once scheduled on the run loop, tells
// of each one that is there or arrives. A device delivers its removal and its input reports once
// it is scheduled. Every callback runs on the message thread. Apart from IOHIDDeviceSetReport,
// which any thread may call, the operations belong on the message thread.

#include "platform/io/CoreFoundation.h"
#include "platform/io/HidBackend.h"

#include <cstdint>

struct IOHIDManagerImpl;
struct IOHIDDeviceImpl;

using IOHIDManagerRef = IOHIDManagerImpl*;
using IOHIDDeviceRef = IOHIDDeviceImpl*;

using IOOptionBits = UInt32;
using IOReturn = int;

constexpr IOOptionBits kIOHIDOptionsTypeNone = 0;

constexpr IOReturn kIOReturnSuccess = 0;
/** The report did not go out: the device failed or is gone. */
constexpr IOReturn kIOReturnError = 1;
/** Null data, a length of 0 or more than a report can hold, or a report type we cannot send. */
constexpr IOReturn kIOReturnBadArgument = 2;
/** The device's node could not be opened, or the manager could not reach the devices. */
constexpr IOReturn kIOReturnNotOpen = 3;
/** The device has gone: its node is gone, hung up, or failed as a node does whose device left. */
constexpr IOReturn kIOReturnNotAttached = 4;

enum IOHIDReportType
{
    kIOHIDReportTypeInput = 0,
    kIOHIDReportTypeOutput = 1
};

/** A device that the manager matched, with the manager as sender. */
using IOHIDDeviceCallback = void (*) (void* context, IOReturn result, void* sender, IOHIDDeviceRef device);
/** The device has gone; the sender is the device. */
using IOHIDCallback = void (*) (void* context, IOReturn result, void* sender);
/** An input report, already copied to the registered buffer; reportLength is its full length. */
using IOHIDReportCallback = void (*) (void* context, IOReturn result, void* sender, IOHIDReportType type,
                                      unsigned int reportID, unsigned char* report, long reportLength);

//==============================================================================
// The manager

/** A new manager with no criteria, not open, that reaches the HID devices through the backend
    the factory makes when the manager opens. */
IOHIDManagerRef IOHIDManagerCreate (CFAllocatorRef allocator, IOOptionBits options,
                                    platform::HidBackendFactory backend);

/** Replaces the criteria: an array of dictionaries, of which a device must fit one (every key of
    the dictionary equal to the device's property); null matches every HID device. The manager
    holds the dictionaries itself, so the caller may release the array at once. */
void IOHIDManagerSetDeviceMatchingMultiple (IOHIDManagerRef manager, CFArrayRef multiple);

/** Makes and starts the manager's backend: from now on it knows the devices that are there and
    follows arrivals and removals. kIOReturnSuccess, also when already open, or kIOReturnNotOpen
    when the backend cannot reach the devices. */
IOReturn IOHIDManagerOpen (IOHIDManagerRef manager, IOOptionBits options);

/** A new set of the devices that fit the criteria now, or null when there is none (or the manager
    is not open). The caller releases it. */
CFSetRef IOHIDManagerCopyDevices (IOHIDManagerRef manager);

/** From now on (null: no longer) the callback hears, once the manager is scheduled, of each
    matching device: first of those already there, later of each arrival. */
void IOHIDManagerRegisterDeviceMatchingCallback (IOHIDManagerRef manager, IOHIDDeviceCallback callback,
                                                 void* context);

/** Lets the manager's callbacks run on the run loop, in the default mode only. The run loop keeps
    the manager alive from then on. */
void IOHIDManagerScheduleWithRunLoop (IOHIDManagerRef manager, CFRunLoopRef runLoop, CFStringRef runLoopMode);

/** The manager's callbacks no longer run, and the run loop no longer keeps it. */
void IOHIDManagerUnscheduleFromRunLoop (IOHIDManagerRef manager, CFRunLoopRef runLoop,
                                        CFStringRef runLoopMode);

//==============================================================================
// A device

/** The property under the key ("VendorID", "ProductID", "VersionNumber", "LocationID", ...), not
    owned by the caller, or null. */
CFTypeRef IOHIDDeviceGetProperty (IOHIDDeviceRef device, CFStringRef key);

void IOHIDDeviceRegisterRemovalCallback (IOHIDDeviceRef device, IOHIDCallback callback, void* context);

/** Each input report is copied to the start of report, at most reportLength bytes of it, before
    the callback is called. A null callback stops the deliveries. */
void IOHIDDeviceRegisterInputReportCallback (IOHIDDeviceRef device, unsigned char* report,
                                             CFIndex reportLength, IOHIDReportCallback callback,
                                             void* context);

/** Lets the device's callbacks run on the run loop, in the default mode only. Opens the device's
    node when it is not open; a node that cannot be opened gets one message on standard error
    (with the udev rule to install when access was denied). A node that hangs up while it is read
    is the device's removal: the removal callback runs then, and later news of it is ignored. */
void IOHIDDeviceScheduleWithRunLoop (IOHIDDeviceRef device, CFRunLoopRef runLoop, CFStringRef runLoopMode);

/** The device's callbacks no longer run, and its node is closed. */
void IOHIDDeviceUnscheduleFromRunLoop (IOHIDDeviceRef device, CFRunLoopRef runLoop, CFStringRef runLoopMode);

/** Sends one output report and returns once it is sent or has failed: kIOReturnSuccess or an
    error code, with errno telling why: ENODEV, and kIOReturnNotAttached, when the device is known
    to have gone (removed, its node gone or hung up, or the node's own ENODEV; the message says
    what the node gave); otherwise the node's errno, which alone does not tell whether the device
    is on its way out. Opens the device's node when it is not open. The first failed write to a
    device gets one message on standard error. Any thread. */
IOReturn IOHIDDeviceSetReport (IOHIDDeviceRef device, IOHIDReportType reportType, CFIndex reportID,
                               const uint8_t* report, CFIndex reportLength);

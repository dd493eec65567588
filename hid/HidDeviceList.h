#pragma once

// The process's HID device list: the one HID manager, its criteria, a snapshot of the devices it
// matches sorted by location, a walk over that snapshot, and four integer properties of a device.
// Message thread only; failures are written to standard error and returned as 0 or null.

#include "platform/io/CoreFoundation.h"
#include "platform/io/HidBackend.h"
#include "platform/io/IOHID.h"

/** The one HID manager; null until the first build, and again once HIDReleaseManager let it go. */
extern IOHIDManagerRef gIOHIDManagerRef;
/** The snapshot, sorted by LocationID read as unsigned; holds a reference to each device. */
extern CFMutableArrayRef gDeviceCFArrayRef;
/** The index of the device last returned by the walk, or -1 once it has lost its place. */
extern CFIndex gDeviceIndex;

/** Creates and opens the manager on first use, over the backend that hidBackend makes, gives it
    one dictionary per usage-page/usage pair (every device when the arrays are null or count is 0),
    and rebuilds the snapshot. 0 when the manager cannot be created or the new one cannot be
    opened; an existing manager is never opened again, and keeps its backend. */
Boolean HIDBuildMultiDeviceList (const UInt32* inUsagePages, const UInt32* inUsages, int inNumDeviceTypes,
                                 const platform::HidBackendFactory& hidBackend);

/** HIDBuildMultiDeviceList with the one pair. */
Boolean HIDBuildDeviceList (UInt32 inUsagePage, UInt32 inUsage, const platform::HidBackendFactory& hidBackend);

/** Replaces the snapshot by the manager's current devices, sorted; keeps it when the manager
    gives none. The cursor stays. */
void HIDRebuildDevices();

/** Releases the snapshot, if any. The cursor stays. */
void HIDReleaseDeviceList();

/** Releases the snapshot and the manager, unscheduled first: its backend stops and its devices
    go. The next build makes a new manager over the backend it is given. */
void HIDReleaseManager();

/** Starts the walk at index 0: the first device, or null when the snapshot is missing or empty. */
IOHIDDeviceRef HIDGetFirstDevice();

/** The device after the given one in the snapshot, or null. After the last device, or after one
    that is not in the snapshot, every call gives null until HIDGetFirstDevice. */
IOHIDDeviceRef HIDGetNextDevice (IOHIDDeviceRef inIOHIDDeviceRef);

/** A property read as a 32-bit number and zero-extended (0 to 4,294,967,295); 0 for a null device,
    a missing property or one that is not a number. */
long IOHIDDevice_GetVendorID (IOHIDDeviceRef inIOHIDDeviceRef);
long IOHIDDevice_GetProductID (IOHIDDeviceRef inIOHIDDeviceRef);
long IOHIDDevice_GetVersionNumber (IOHIDDeviceRef inIOHIDDeviceRef);
long IOHIDDevice_GetLocationID (IOHIDDeviceRef inIOHIDDeviceRef);

/** Appends the device to the array (the context); the applier of the snapshot's set walk. */
void CFSetApplierFunctionCopyToCFArray (const void* value, void* context);

/** Orders two devices by LocationID: -1, 0 or 1. The context is not used. */
CFComparisonResult CFDeviceArrayComparatorFunction (const void* val1, const void* val2, void* context);

/** One matching dictionary: "PrimaryUsagePage" when the page is not 0, and "PrimaryUsage" as
    well when the usage is not 0 either. Null when the dictionary cannot be created; a key whose
    number cannot be made is left out. */
CFMutableDictionaryRef hu_SetUpMatchingDictionary (UInt32 inUsagePage, UInt32 inUsage);

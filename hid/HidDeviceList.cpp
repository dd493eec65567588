#include "hid/HidDeviceList.h"

#include <cstdio>

IOHIDManagerRef gIOHIDManagerRef = nullptr;
CFMutableArrayRef gDeviceCFArrayRef = nullptr;
CFIndex gDeviceIndex = 0;

namespace
{

const char* const buildSignature = "Boolean HIDBuildMultiDeviceList(const UInt32 *, const UInt32 *, int)";
const char* const dictionarySignature = "CFMutableDictionaryRef hu_SetUpMatchingDictionary(UInt32, UInt32)";

long getIntProperty (IOHIDDeviceRef device, CFStringRef key)
{
    if (device == nullptr)
        return 0;

    const CFTypeRef property = IOHIDDeviceGetProperty (device, key);
    if (property == nullptr || CFGetTypeID (property) != CFNumberGetTypeID())
        return 0;

    // Read as 32 bits and zero-extended: a top bit set stays a large positive value.
    int32_t value = 0;
    CFNumberGetValue (static_cast<CFNumberRef> (property), kCFNumberSInt32Type, &value);
    return static_cast<long> (static_cast<uint32_t> (value));
}

/** Sets the value under the key as a number; false, with the dictionary step's message, when the
    number cannot be made. */
bool setNumber (CFMutableDictionaryRef dictionary, CFStringRef key, UInt32 value, const char* what)
{
    CFNumberRef number = CFNumberCreate (kCFAllocatorDefault, kCFNumberIntType, &value);
    if (number == nullptr)
    {
        std::fprintf (stderr, "%s: CFNumberCreate( %s ) failed.", dictionarySignature, what);
        return false;
    }

    CFDictionarySetValue (dictionary, key, number);
    CFRelease (number);
    return true;
}

}  // namespace

CFMutableDictionaryRef hu_SetUpMatchingDictionary (UInt32 inUsagePage, UInt32 inUsage)
{
    CFMutableDictionaryRef dictionary = CFDictionaryCreateMutable (
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    if (dictionary == nullptr)
    {
        std::fprintf (stderr, "%s: CFDictionaryCreateMutable failed.", dictionarySignature);
        return nullptr;
    }

    if (inUsagePage == 0)
        return dictionary;

    if (setNumber (dictionary, CFSTR ("PrimaryUsagePage"), inUsagePage, "usage page") && inUsage != 0)
        setNumber (dictionary, CFSTR ("PrimaryUsage"), inUsage, "usage");
    return dictionary;
}

Boolean HIDBuildMultiDeviceList (const UInt32* inUsagePages, const UInt32* inUsages, int inNumDeviceTypes,
                                 const platform::HidBackendFactory& hidBackend)
{
    const bool createdHere = gIOHIDManagerRef == nullptr;
    if (createdHere)
    {
        gIOHIDManagerRef = IOHIDManagerCreate (kCFAllocatorDefault, kIOHIDOptionsTypeNone, hidBackend);
        if (gIOHIDManagerRef == nullptr)
        {
            std::fprintf (stderr, "%s: Couldn’t create a IOHIDManager.", buildSignature);
            return 0;
        }
    }

    if (inUsagePages == nullptr || inUsages == nullptr || inNumDeviceTypes <= 0)
    {
        IOHIDManagerSetDeviceMatchingMultiple (gIOHIDManagerRef, nullptr);
    }
    else if (CFMutableArrayRef criteria =
                 CFArrayCreateMutable (kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks))
    {
        for (int i = 0; i < inNumDeviceTypes; ++i)
        {
            if (CFMutableDictionaryRef dictionary = hu_SetUpMatchingDictionary (inUsagePages[i], inUsages[i]))
            {
                CFArrayAppendValue (criteria, dictionary);
                CFRelease (dictionary);
            }
            else
            {
                std::fprintf (stderr, "%s: Couldn’t create a matching dictionary.", buildSignature);
            }
        }
        IOHIDManagerSetDeviceMatchingMultiple (gIOHIDManagerRef, criteria);
        CFRelease (criteria);
    }
    else
    {
        std::fprintf (stderr, "%s: Couldn’t create a matching array.", buildSignature);
        IOHIDManagerSetDeviceMatchingMultiple (gIOHIDManagerRef, nullptr);
    }

    if (!createdHere)
    {
        HIDRebuildDevices();
        return 1;
    }

    if (IOHIDManagerOpen (gIOHIDManagerRef, kIOHIDOptionsTypeNone) != kIOReturnSuccess)
    {
        std::fprintf (stderr, "%s: Couldn’t open IOHIDManager.", buildSignature);
        return 0;
    }

    HIDRebuildDevices();
    return 1;
}

Boolean HIDBuildDeviceList (UInt32 inUsagePage, UInt32 inUsage, const platform::HidBackendFactory& hidBackend)
{
    return HIDBuildMultiDeviceList (&inUsagePage, &inUsage, 1, hidBackend);
}

void HIDRebuildDevices()
{
    CFSetRef devices = IOHIDManagerCopyDevices (gIOHIDManagerRef);
    if (devices == nullptr)
        return;

    HIDReleaseDeviceList();

    gDeviceCFArrayRef = CFArrayCreateMutable (kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    if (gDeviceCFArrayRef != nullptr)
    {
        CFSetApplyFunction (devices, CFSetApplierFunctionCopyToCFArray, gDeviceCFArrayRef);
        CFArraySortValues (gDeviceCFArrayRef, CFRangeMake (0, CFArrayGetCount (gDeviceCFArrayRef)),
                           CFDeviceArrayComparatorFunction, nullptr);
    }

    CFRelease (devices);
}

void HIDReleaseDeviceList()
{
    if (gDeviceCFArrayRef == nullptr)
        return;

    CFRelease (gDeviceCFArrayRef);
    gDeviceCFArrayRef = nullptr;
}

void HIDReleaseManager()
{
    HIDReleaseDeviceList();

    if (gIOHIDManagerRef == nullptr)
        return;

    IOHIDManagerRegisterDeviceMatchingCallback (gIOHIDManagerRef, nullptr, nullptr);
    IOHIDManagerUnscheduleFromRunLoop (gIOHIDManagerRef, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    CFRelease (gIOHIDManagerRef);
    gIOHIDManagerRef = nullptr;
    gDeviceIndex = 0;
}

IOHIDDeviceRef HIDGetFirstDevice()
{
    gDeviceIndex = 0;
    if (gDeviceCFArrayRef == nullptr || CFArrayGetCount (gDeviceCFArrayRef) == 0)
        return nullptr;

    return static_cast<IOHIDDeviceRef> (const_cast<void*> (CFArrayGetValueAtIndex (gDeviceCFArrayRef, 0)));
}

IOHIDDeviceRef HIDGetNextDevice (IOHIDDeviceRef inIOHIDDeviceRef)
{
    if (inIOHIDDeviceRef == nullptr || gDeviceCFArrayRef == nullptr)
        return nullptr;

    const CFIndex count = CFArrayGetCount (gDeviceCFArrayRef);
    if (gDeviceIndex < 0 || gDeviceIndex >= count)
        return nullptr;

    if (CFArrayGetValueAtIndex (gDeviceCFArrayRef, gDeviceIndex) == inIOHIDDeviceRef)
    {
        ++gDeviceIndex;
    }
    else
    {
        gDeviceIndex = -1;
        for (CFIndex i = 0; i < count; ++i)
        {
            if (CFArrayGetValueAtIndex (gDeviceCFArrayRef, i) == inIOHIDDeviceRef)
            {
                gDeviceIndex = i + 1;
                break;
            }
        }
    }

    if (gDeviceIndex < 0 || gDeviceIndex >= count)
        return nullptr;

    return static_cast<IOHIDDeviceRef> (
        const_cast<void*> (CFArrayGetValueAtIndex (gDeviceCFArrayRef, gDeviceIndex)));
}

long IOHIDDevice_GetVendorID (IOHIDDeviceRef inIOHIDDeviceRef)
{
    return getIntProperty (inIOHIDDeviceRef, CFSTR ("VendorID"));
}

long IOHIDDevice_GetProductID (IOHIDDeviceRef inIOHIDDeviceRef)
{
    return getIntProperty (inIOHIDDeviceRef, CFSTR ("ProductID"));
}

long IOHIDDevice_GetVersionNumber (IOHIDDeviceRef inIOHIDDeviceRef)
{
    return getIntProperty (inIOHIDDeviceRef, CFSTR ("VersionNumber"));
}

long IOHIDDevice_GetLocationID (IOHIDDeviceRef inIOHIDDeviceRef)
{
    return getIntProperty (inIOHIDDeviceRef, CFSTR ("LocationID"));
}

void CFSetApplierFunctionCopyToCFArray (const void* value, void* context)
{
    CFArrayAppendValue (static_cast<CFMutableArrayRef> (context), value);
}

CFComparisonResult CFDeviceArrayComparatorFunction (const void* val1, const void* val2, void*)
{
    const long first = IOHIDDevice_GetLocationID (static_cast<IOHIDDeviceRef> (const_cast<void*> (val1)));
    const long second = IOHIDDevice_GetLocationID (static_cast<IOHIDDeviceRef> (const_cast<void*> (val2)));

    if (first < second)
        return kCFCompareLessThan;
    if (first > second)
        return kCFCompareGreaterThan;
    return kCFCompareEqualTo;
}

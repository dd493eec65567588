#pragma once

// Our own small object model under the HID layer: reference-counted objects, constant strings for
// keys, numbers, mutable arrays and dictionaries, the set of devices a HID manager hands out, and
// the message thread's run loop. Only what the controller link uses is here.
//
// Objects are created with a count of one and freed when CFRelease takes the count to zero.
// Counting is thread-safe; everything else is meant for the message thread unless a function
// says otherwise.

#include <cstdint>

using Boolean = unsigned char;
using UInt32 = uint32_t;
using CFIndex = long;
using CFTypeID = unsigned long;
using CFTypeRef = const void*;

struct CFAllocatorImpl;
struct CFStringImpl;
struct CFNumberImpl;
struct CFArrayImpl;
struct CFDictionaryImpl;
struct CFSetImpl;
struct CFRunLoopImpl;

using CFAllocatorRef = const CFAllocatorImpl*;
using CFStringRef = const CFStringImpl*;
using CFNumberRef = const CFNumberImpl*;
using CFArrayRef = const CFArrayImpl*;
using CFMutableArrayRef = CFArrayImpl*;
using CFDictionaryRef = const CFDictionaryImpl*;
using CFMutableDictionaryRef = CFDictionaryImpl*;
using CFSetRef = const CFSetImpl*;
using CFRunLoopRef = CFRunLoopImpl*;

/** There is one allocator; it stands for the default heap. */
constexpr CFAllocatorRef kCFAllocatorDefault = nullptr;

//==============================================================================
// Every object

CFTypeRef CFRetain (CFTypeRef object);
void CFRelease (CFTypeRef object);
CFTypeID CFGetTypeID (CFTypeRef object);

enum CFComparisonResult : CFIndex
{
    kCFCompareLessThan = -1,
    kCFCompareEqualTo = 0,
    kCFCompareGreaterThan = 1
};

using CFComparatorFunction = CFComparisonResult (*) (const void* first, const void* second, void* context);

struct CFRange
{
    CFIndex location;
    CFIndex length;
};

inline CFRange CFRangeMake (CFIndex location, CFIndex length)
{
    return { location, length };
}

//==============================================================================
// Strings: only constants, for keys and modes.

/** The constant string with this text. The same text always gives the same object, which lives
    as long as the process; retaining and releasing it changes nothing. Any thread. */
CFStringRef CFSTR (const char* text);

//==============================================================================
// Numbers

enum CFNumberType : CFIndex
{
    kCFNumberSInt32Type = 3,
    kCFNumberIntType = 9
};

CFTypeID CFNumberGetTypeID();

/** A number holding the value that valuePtr points at, read as the given type. Null when the
    type is unknown or valuePtr is null. */
CFNumberRef CFNumberCreate (CFAllocatorRef allocator, CFNumberType type, const void* valuePtr);

/** Writes the number's value as the given type to valuePtr, cut to the type's width when it does
    not fit. True when the value fitted; false (and nothing written) for an unknown type. */
Boolean CFNumberGetValue (CFNumberRef number, CFNumberType type, void* valuePtr);

//==============================================================================
// Arrays

using CFArrayRetainCallBack = const void* (*)(CFAllocatorRef allocator, const void* value);
using CFArrayReleaseCallBack = void (*) (CFAllocatorRef allocator, const void* value);

/** How an array treats its values: retained while they are in it, or (null) not at all. */
struct CFArrayCallBacks
{
    CFArrayRetainCallBack retain;
    CFArrayReleaseCallBack release;
};

/** Holds a reference to each value put into the array. */
extern const CFArrayCallBacks kCFTypeArrayCallBacks;

/** An empty array. With null callbacks the values are held without references. */
CFMutableArrayRef CFArrayCreateMutable (CFAllocatorRef allocator, CFIndex capacity,
                                        const CFArrayCallBacks* callBacks);
void CFArrayAppendValue (CFMutableArrayRef array, const void* value);
CFIndex CFArrayGetCount (CFArrayRef array);
/** The value at index; null when the index is outside the array. */
const void* CFArrayGetValueAtIndex (CFArrayRef array, CFIndex index);
/** Sorts the values in range (clipped to the array) in ascending order of the comparator. */
void CFArraySortValues (CFMutableArrayRef array, CFRange range, CFComparatorFunction comparator,
                        void* context);

//==============================================================================
// Dictionaries

using CFDictionaryRetainCallBack = const void* (*)(CFAllocatorRef allocator, const void* value);
using CFDictionaryReleaseCallBack = void (*) (CFAllocatorRef allocator, const void* value);
using CFDictionaryEqualCallBack = Boolean (*) (const void* first, const void* second);

struct CFDictionaryKeyCallBacks
{
    CFDictionaryRetainCallBack retain;
    CFDictionaryReleaseCallBack release;
    /** Tells keys apart; null compares them by identity. */
    CFDictionaryEqualCallBack equal;
};

struct CFDictionaryValueCallBacks
{
    CFDictionaryRetainCallBack retain;
    CFDictionaryReleaseCallBack release;
};

/** Keys are retained and equal when they are the same object or strings of the same text. */
extern const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks;
/** Values are retained. */
extern const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks;

/** An empty dictionary. */
CFMutableDictionaryRef CFDictionaryCreateMutable (CFAllocatorRef allocator, CFIndex capacity,
                                                  const CFDictionaryKeyCallBacks* keyCallBacks,
                                                  const CFDictionaryValueCallBacks* valueCallBacks);
/** Sets the value under the key, replacing what was there. */
void CFDictionarySetValue (CFMutableDictionaryRef dictionary, const void* key, const void* value);
/** The value under the key, not owned by the caller, or null. */
const void* CFDictionaryGetValue (CFDictionaryRef dictionary, const void* key);

//==============================================================================
// Sets: only the ones that the HID manager hands out.

using CFSetApplierFunction = void (*) (const void* value, void* context);

/** Calls the applier once for each value of the set. */
void CFSetApplyFunction (CFSetRef set, CFSetApplierFunction applier, void* context);

//==============================================================================
// The run loop

/** The message thread's event loop: whatever is scheduled on it calls back on the message
    thread. The program calls it on the message thread only. */
CFRunLoopRef CFRunLoopGetCurrent();

/** The mode in which scheduled HID objects deliver their callbacks; no other mode does. */
extern const CFStringRef kCFRunLoopDefaultMode;

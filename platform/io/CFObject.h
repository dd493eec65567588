#pragma once

// The inside of the object model of CoreFoundation.h, for the platform layer's own files.

#include "platform/io/CoreFoundation.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace platform
{

enum ObjectType : CFTypeID
{
    stringType = 1,
    numberType,
    arrayType,
    dictionaryType,
    setType,
    runLoopType,
    hidManagerType,
    hidDeviceType
};

}  // namespace platform

/** The base of every object: its type and its reference count. Constant objects are never freed. */
struct CFObject
{
    explicit CFObject (CFTypeID type)
        : typeID (type)
    {
    }
    virtual ~CFObject() = default;

    const CFTypeID typeID;
    std::atomic<long> referenceCount{ 1 };
    bool constant = false;

    CFObject (const CFObject&) = delete;
    CFObject& operator= (const CFObject&) = delete;
};

struct CFStringImpl : CFObject
{
    explicit CFStringImpl (std::string s)
        : CFObject (platform::stringType)
        , text (std::move (s))
    {
    }
    const std::string text;
};

struct CFNumberImpl : CFObject
{
    explicit CFNumberImpl (int64_t v)
        : CFObject (platform::numberType)
        , value (v)
    {
    }
    const int64_t value;
};

struct CFArrayImpl : CFObject
{
    explicit CFArrayImpl (bool retains)
        : CFObject (platform::arrayType)
        , retainsValues (retains)
    {
    }
    ~CFArrayImpl() override;

    const bool retainsValues;
    std::vector<const void*> values;
};

struct CFDictionaryImpl : CFObject
{
    CFDictionaryImpl (const CFDictionaryKeyCallBacks* keys, const CFDictionaryValueCallBacks* values);
    ~CFDictionaryImpl() override;

    const CFDictionaryKeyCallBacks keyCallBacks;
    const CFDictionaryValueCallBacks valueCallBacks;
    std::vector<std::pair<const void*, const void*>> entries;
};

/** Holds a reference to each of its values. */
struct CFSetImpl : CFObject
{
    explicit CFSetImpl (std::vector<CFTypeRef> v);
    ~CFSetImpl() override;

    const std::vector<CFTypeRef> values;
};

/** Holds a reference to whatever is scheduled on it, until it is unscheduled. */
struct CFRunLoopImpl : CFObject
{
    CFRunLoopImpl()
        : CFObject (platform::runLoopType)
    {
    }

    /** Keeps the object alive until forget(); scheduling it again changes nothing. */
    void keep (CFTypeRef object);
    /** Lets go of an object kept; nothing for one that is not. */
    void forget (CFTypeRef object);

    std::vector<CFTypeRef> kept;
};

namespace platform
{

/** The object behind a reference when it is of the given type, else null. */
template <typename Impl>
Impl* objectOfType (CFTypeRef ref, CFTypeID type)
{
    auto* object = static_cast<const CFObject*> (ref);
    if (object == nullptr || object->typeID != type)
        return nullptr;
    return static_cast<Impl*> (const_cast<CFObject*> (object));
}

/** A new string (not a constant) with this text, e.g. a device's name. */
CFStringRef createString (const std::string& text);
/** A new number of any 64-bit value; never fails. */
CFNumberRef createNumber (int64_t value);
/** Equal strings by text, equal numbers by value, anything else by identity. */
bool valuesEqual (CFTypeRef first, CFTypeRef second);

}  // namespace platform

#include "platform/io/CFObject.h"

#include <algorithm>
#include <climits>
#include <map>
#include <memory>
#include <mutex>

//==============================================================================
// Counting

CFTypeRef CFRetain (CFTypeRef ref)
{
    auto* object = static_cast<const CFObject*> (ref);
    if (object != nullptr && !object->constant)
        const_cast<CFObject*> (object)->referenceCount.fetch_add (1, std::memory_order_relaxed);
    return ref;
}

void CFRelease (CFTypeRef ref)
{
    auto* object = const_cast<CFObject*> (static_cast<const CFObject*> (ref));
    if (object == nullptr || object->constant)
        return;

    if (object->referenceCount.fetch_sub (1, std::memory_order_acq_rel) == 1)
        delete object;
}

CFTypeID CFGetTypeID (CFTypeRef ref)
{
    auto* object = static_cast<const CFObject*> (ref);
    return object != nullptr ? object->typeID : 0;
}

namespace
{

const void* retainValue (CFAllocatorRef, const void* value)
{
    return CFRetain (value);
}

void releaseValue (CFAllocatorRef, const void* value)
{
    CFRelease (value);
}

Boolean keysEqual (const void* first, const void* second)
{
    return platform::valuesEqual (first, second) ? 1 : 0;
}

}  // namespace

//==============================================================================
// Strings

CFStringRef CFSTR (const char* text)
{
    // Interned for good, so that a key is one object per text and outlives every dictionary.
    static std::mutex lock;
    static std::map<std::string, std::unique_ptr<CFStringImpl>> constants;

    const std::lock_guard<std::mutex> guard (lock);
    auto& slot = constants[text != nullptr ? text : ""];
    if (slot == nullptr)
    {
        slot = std::make_unique<CFStringImpl> (text != nullptr ? text : "");
        slot->constant = true;
    }
    return slot.get();
}

const CFStringRef kCFRunLoopDefaultMode = CFSTR ("kCFRunLoopDefaultMode");

//==============================================================================
// Numbers

CFTypeID CFNumberGetTypeID()
{
    return platform::numberType;
}

CFNumberRef CFNumberCreate (CFAllocatorRef, CFNumberType type, const void* valuePtr)
{
    if (valuePtr == nullptr)
        return nullptr;

    int64_t value = 0;
    switch (type)
    {
        case kCFNumberSInt32Type:
            value = *static_cast<const int32_t*> (valuePtr);
            break;
        case kCFNumberIntType:
            value = *static_cast<const int*> (valuePtr);
            break;
        default:
            return nullptr;
    }

    return platform::createNumber (value);
}

Boolean CFNumberGetValue (CFNumberRef ref, CFNumberType type, void* valuePtr)
{
    auto* number = platform::objectOfType<const CFNumberImpl> (ref, platform::numberType);
    if (number == nullptr || valuePtr == nullptr)
        return 0;

    switch (type)
    {
        case kCFNumberSInt32Type:
            *static_cast<int32_t*> (valuePtr) = static_cast<int32_t> (static_cast<uint32_t> (number->value));
            return number->value >= INT32_MIN && number->value <= INT32_MAX;
        case kCFNumberIntType:
            *static_cast<int*> (valuePtr) = static_cast<int> (static_cast<unsigned int> (number->value));
            return number->value >= INT_MIN && number->value <= INT_MAX;
        default:
            return 0;
    }
}

//==============================================================================
// Arrays

const CFArrayCallBacks kCFTypeArrayCallBacks = { retainValue, releaseValue };

CFArrayImpl::~CFArrayImpl()
{
    if (retainsValues)
        for (auto* value : values)
            CFRelease (value);
}

CFMutableArrayRef CFArrayCreateMutable (CFAllocatorRef, CFIndex, const CFArrayCallBacks* callBacks)
{
    return new CFArrayImpl (callBacks != nullptr && callBacks->retain != nullptr);
}

void CFArrayAppendValue (CFMutableArrayRef ref, const void* value)
{
    auto* array = platform::objectOfType<CFArrayImpl> (ref, platform::arrayType);
    if (array == nullptr)
        return;

    array->values.push_back (array->retainsValues ? CFRetain (value) : value);
}

CFIndex CFArrayGetCount (CFArrayRef ref)
{
    auto* array = platform::objectOfType<const CFArrayImpl> (ref, platform::arrayType);
    return array != nullptr ? static_cast<CFIndex> (array->values.size()) : 0;
}

const void* CFArrayGetValueAtIndex (CFArrayRef ref, CFIndex index)
{
    auto* array = platform::objectOfType<const CFArrayImpl> (ref, platform::arrayType);
    if (array == nullptr || index < 0 || index >= static_cast<CFIndex> (array->values.size()))
        return nullptr;
    return array->values[static_cast<size_t> (index)];
}

void CFArraySortValues (CFMutableArrayRef ref, CFRange range, CFComparatorFunction comparator, void* context)
{
    auto* array = platform::objectOfType<CFArrayImpl> (ref, platform::arrayType);
    if (array == nullptr || comparator == nullptr)
        return;

    const auto count = static_cast<CFIndex> (array->values.size());
    const auto begin = std::clamp<CFIndex> (range.location, 0, count);
    const auto end = std::clamp<CFIndex> (range.location + range.length, begin, count);

    std::stable_sort (array->values.begin() + begin, array->values.begin() + end,
                      [&] (const void* first, const void* second)
                      { return comparator (first, second, context) == kCFCompareLessThan; });
}

//==============================================================================
// Dictionaries

const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks = { retainValue, releaseValue, keysEqual };
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks = { retainValue, releaseValue };

namespace
{

const CFDictionaryKeyCallBacks noKeyCallBacks = { nullptr, nullptr, nullptr };
const CFDictionaryValueCallBacks noValueCallBacks = { nullptr, nullptr };

}  // namespace

CFDictionaryImpl::CFDictionaryImpl (const CFDictionaryKeyCallBacks* keys,
                                    const CFDictionaryValueCallBacks* values)
    : CFObject (platform::dictionaryType)
    , keyCallBacks (keys != nullptr ? *keys : noKeyCallBacks)
    , valueCallBacks (values != nullptr ? *values : noValueCallBacks)
{
}

CFDictionaryImpl::~CFDictionaryImpl()
{
    for (auto& [key, value] : entries)
    {
        if (keyCallBacks.release != nullptr)
            keyCallBacks.release (kCFAllocatorDefault, key);
        if (valueCallBacks.release != nullptr)
            valueCallBacks.release (kCFAllocatorDefault, value);
    }
}

CFMutableDictionaryRef CFDictionaryCreateMutable (CFAllocatorRef, CFIndex,
                                                  const CFDictionaryKeyCallBacks* keyCallBacks,
                                                  const CFDictionaryValueCallBacks* valueCallBacks)
{
    return new CFDictionaryImpl (keyCallBacks, valueCallBacks);
}

namespace
{

auto findEntry (const CFDictionaryImpl& dictionary, const void* key)
{
    return std::find_if (dictionary.entries.begin(), dictionary.entries.end(),
                         [&] (const auto& entry)
                         {
                             return dictionary.keyCallBacks.equal != nullptr
                                        ? dictionary.keyCallBacks.equal (entry.first, key) != 0
                                        : entry.first == key;
                         });
}

}  // namespace

void CFDictionarySetValue (CFMutableDictionaryRef ref, const void* key, const void* value)
{
    auto* dictionary = platform::objectOfType<CFDictionaryImpl> (ref, platform::dictionaryType);
    if (dictionary == nullptr)
        return;

    const auto& keys = dictionary->keyCallBacks;
    const auto& values = dictionary->valueCallBacks;

    if (values.retain != nullptr)
        value = values.retain (kCFAllocatorDefault, value);

    const auto found = findEntry (*dictionary, key);
    if (found != dictionary->entries.end())
    {
        if (values.release != nullptr)
            values.release (kCFAllocatorDefault, found->second);
        dictionary->entries[static_cast<size_t> (found - dictionary->entries.begin())].second = value;
        return;
    }

    dictionary->entries.emplace_back (keys.retain != nullptr ? keys.retain (kCFAllocatorDefault, key) : key,
                                      value);
}

const void* CFDictionaryGetValue (CFDictionaryRef ref, const void* key)
{
    auto* dictionary = platform::objectOfType<const CFDictionaryImpl> (ref, platform::dictionaryType);
    if (dictionary == nullptr)
        return nullptr;

    const auto found = findEntry (*dictionary, key);
    return found != dictionary->entries.end() ? found->second : nullptr;
}

//==============================================================================
// Sets

CFSetImpl::CFSetImpl (std::vector<CFTypeRef> v)
    : CFObject (platform::setType)
    , values (std::move (v))
{
    for (auto* value : values)
        CFRetain (value);
}

CFSetImpl::~CFSetImpl()
{
    for (auto* value : values)
        CFRelease (value);
}

void CFSetApplyFunction (CFSetRef ref, CFSetApplierFunction applier, void* context)
{
    auto* set = platform::objectOfType<const CFSetImpl> (ref, platform::setType);
    if (set == nullptr || applier == nullptr)
        return;

    for (auto* value : set->values)
        applier (value, context);
}

//==============================================================================
// The run loop

void CFRunLoopImpl::keep (CFTypeRef object)
{
    if (std::find (kept.begin(), kept.end(), object) == kept.end())
        kept.push_back (CFRetain (object));
}

void CFRunLoopImpl::forget (CFTypeRef object)
{
    const auto found = std::find (kept.begin(), kept.end(), object);
    if (found == kept.end())
        return;

    kept.erase (found);
    CFRelease (object);
}

CFRunLoopRef CFRunLoopGetCurrent()
{
    // One loop, the message thread's, which lives as long as the process: what is scheduled on
    // it stays alive until it is unscheduled, as the HID manager must.
    static CFRunLoopImpl* const loop = []
    {
        auto* l = new CFRunLoopImpl();
        l->constant = true;
        return l;
    }();
    return loop;
}

//==============================================================================
// The platform layer's own helpers

namespace platform
{

CFStringRef createString (const std::string& text)
{
    return new CFStringImpl (text);
}

CFNumberRef createNumber (int64_t value)
{
    return new CFNumberImpl (value);
}

bool valuesEqual (CFTypeRef first, CFTypeRef second)
{
    if (first == second)
        return true;

    if (auto* a = objectOfType<const CFStringImpl> (first, stringType))
        if (auto* b = objectOfType<const CFStringImpl> (second, stringType))
            return a->text == b->text;

    if (auto* a = objectOfType<const CFNumberImpl> (first, numberType))
        if (auto* b = objectOfType<const CFNumberImpl> (second, numberType))
            return a->value == b->value;

    return false;
}

}  // namespace platform

#include "hid/HidDeviceList.h"
#include "support/MessageLoop.h"
#include "support/SimulatedHid.h"
#include "support/StderrCapture.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

using qvxtest::SimulatedHid;

namespace
{

/** The devices of every manager built here. */
const platform::HidBackendFactory simulatedDevices = SimulatedHid::backend();

const std::string buildPrefix = "Boolean HIDBuildMultiDeviceList(const UInt32 *, const UInt32 *, int): ";
const std::string dictionaryPrefix = "CFMutableDictionaryRef hu_SetUpMatchingDictionary(UInt32, UInt32): ";

struct HidDeviceListTest : testing::Test
{
    /** The manager a test built goes with it, as it goes with its last HidUtil in the program. */
    void TearDown() override { HIDReleaseManager(); }

    /** A device at this location, with a usage page and usage when they are not 0. */
    static std::shared_ptr<qvxtest::SimulatedHidDevice> attachAt (int64_t location, int64_t page = 0,
                                                                  int64_t usage = 0)
    {
        platform::HidProperties properties{ { "LocationID", location } };
        if (page != 0)
            properties["PrimaryUsagePage"] = page;
        if (usage != 0)
            properties["PrimaryUsage"] = usage;
        return SimulatedHid::attach (properties);
    }

    static bool managerHasNoDevice()
    {
        CFSetRef devices = IOHIDManagerCopyDevices (gIOHIDManagerRef);
        CFRelease (devices);
        return devices == nullptr;
    }

    /** The LocationIDs of the snapshot, walked from the first device. */
    static std::vector<long> walkLocations()
    {
        std::vector<long> locations;
        for (auto device = HIDGetFirstDevice(); device != nullptr; device = HIDGetNextDevice (device))
            locations.push_back (IOHIDDevice_GetLocationID (device));
        return locations;
    }

    static IOHIDDeviceRef at (CFIndex index)
    {
        return static_cast<IOHIDDeviceRef> (
            const_cast<void*> (CFArrayGetValueAtIndex (gDeviceCFArrayRef, index)));
    }

    /** A device the manager has now, at this location; waits for its arrival. */
    static IOHIDDeviceRef managerDeviceAt (long location)
    {
        IOHIDDeviceRef found = nullptr;
        qvxtest::pumpUntil (
            [&]
            {
                CFSetRef devices = IOHIDManagerCopyDevices (gIOHIDManagerRef);
                std::pair<long, IOHIDDeviceRef> search{ location, nullptr };
                CFSetApplyFunction (
                    devices,
                    [] (const void* value, void* context)
                    {
                        auto& wanted = *static_cast<std::pair<long, IOHIDDeviceRef>*> (context);
                        auto device = static_cast<IOHIDDeviceRef> (const_cast<void*> (value));
                        if (IOHIDDevice_GetLocationID (device) == wanted.first)
                            wanted.second = device;
                    },
                    &search);
                CFRelease (devices);
                found = search.second;
                return found != nullptr;
            });
        return found;
    }
};

}  // namespace

TEST (MatchingDictionary, HoldsTheKeysOfItsPair)
{
    struct Case
    {
        UInt32 page, usage;
        std::optional<int> expectedPage, expectedUsage;
    };
    const Case cases[] = {
        { 0, 0, {}, {} },             // every HID device
        { 1, 0, 1, {} },              // the page alone
        { 0, 6, {}, {} },             // a usage without a page adds nothing
        { 1, 6, 1, 6 },               // both
        { 0xFF00, 0x01, 0xFF00, 1 },  // a vendor page
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << "page " << c.page << " usage " << c.usage);
        CFMutableDictionaryRef dictionary = hu_SetUpMatchingDictionary (c.page, c.usage);
        ASSERT_NE (dictionary, nullptr);

        const std::pair<const char*, std::optional<int>> keys[] = { { "PrimaryUsagePage", c.expectedPage },
                                                                    { "PrimaryUsage", c.expectedUsage } };
        for (const auto& [key, expected] : keys)
        {
            auto value = static_cast<CFNumberRef> (CFDictionaryGetValue (dictionary, CFSTR (key)));
            ASSERT_EQ (value != nullptr, expected.has_value()) << key;
            if (value == nullptr)
                continue;
            int read = 0;
            EXPECT_EQ (CFGetTypeID (value), CFNumberGetTypeID());
            CFNumberGetValue (value, kCFNumberIntType, &read);
            EXPECT_EQ (read, *expected) << key;
        }
        CFRelease (dictionary);
    }
}

TEST_F (HidDeviceListTest, TheCriteriaPickTheDevicesOfTheSnapshot)
{
    attachAt (0x10, 1, 6);   // keyboard
    attachAt (0x20, 1, 2);   // mouse
    attachAt (0x30, 12, 1);  // consumer control
    attachAt (0x40);         // no usage at all

    struct Case
    {
        const char* name;
        std::vector<UInt32> pages, usages;
        bool nullArrays;
        std::vector<long> expected;
    };
    const Case cases[] = {
        { "(0, 0) matches every device", { 0 }, { 0 }, false, { 0x10, 0x20, 0x30, 0x40 } },
        { "a page alone", { 1 }, { 0 }, false, { 0x10, 0x20 } },
        { "page and usage", { 1 }, { 6 }, false, { 0x10 } },
        { "a usage without a page matches everything", { 0 }, { 6 }, false, { 0x10, 0x20, 0x30, 0x40 } },
        { "any of several pairs", { 1, 12 }, { 6, 1 }, false, { 0x10, 0x30 } },
        { "count 0 sets null criteria", {}, {}, false, { 0x10, 0x20, 0x30, 0x40 } },
        { "null arrays set null criteria", { 1 }, { 6 }, true, { 0x10, 0x20, 0x30, 0x40 } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        qvxtest::StderrCapture stderrCapture;
        // The first build creates and opens the manager; later ones replace its criteria.
        const auto built =
            c.nullArrays ? HIDBuildMultiDeviceList (nullptr, nullptr, 1, simulatedDevices)
                         : HIDBuildMultiDeviceList (c.pages.data(), c.usages.data(),
                                                    static_cast<int> (c.pages.size()), simulatedDevices);
        EXPECT_EQ (built, 1);
        EXPECT_EQ (walkLocations(), c.expected);
        EXPECT_EQ (stderrCapture.text(), "");
    }
}

TEST_F (HidDeviceListTest, TheSnapshotIsInUnsignedLocationOrder)
{
    const long none = -1;
    for (const long location : { 0x80000000L, 0x01200000L, none, 0xFFFFFFFFL, 0x7FFFFFFFL, 0x00000001L })
    {
        if (location == none)
            SimulatedHid::attach ({ { "VendorID", int64_t{ 1 } } });
        else
            attachAt (location);
    }

    ASSERT_EQ (HIDBuildDeviceList (0, 0, simulatedDevices), 1);
    // Missing first (0), a set top bit after every clear one.
    EXPECT_EQ (walkLocations(),
               (std::vector<long>{ 0, 1, 0x01200000, 0x7FFFFFFF, 0x80000000L, 0xFFFFFFFFL }));
}

TEST_F (HidDeviceListTest, WithNoDeviceThereIsNoSnapshot)
{
    ASSERT_EQ (HIDBuildDeviceList (0, 0, simulatedDevices), 1);
    EXPECT_EQ (gDeviceCFArrayRef, nullptr);
    EXPECT_EQ (HIDGetFirstDevice(), nullptr);
    EXPECT_EQ (gDeviceIndex, 0);
}

TEST_F (HidDeviceListTest, ARebuildKeepsTheSnapshotWhenTheManagerHasNoDevices)
{
    auto device = SimulatedHid::attach ({ { "LocationID", int64_t{ 7 } } });
    ASSERT_EQ (HIDBuildDeviceList (0, 0, simulatedDevices), 1);
    HIDGetFirstDevice();
    CFMutableArrayRef snapshot = gDeviceCFArrayRef;

    device->remove();
    ASSERT_TRUE (qvxtest::pumpUntil (managerHasNoDevice));

    HIDRebuildDevices();
    EXPECT_EQ (gDeviceCFArrayRef, snapshot);
    EXPECT_EQ (walkLocations(), std::vector<long>{ 7 });

    HIDReleaseDeviceList();
    EXPECT_EQ (gDeviceCFArrayRef, nullptr);
    HIDReleaseDeviceList();  // none: nothing to do
    EXPECT_EQ (HIDGetFirstDevice(), nullptr);
}

TEST_F (HidDeviceListTest, TheWalkFollowsItsCursor)
{
    attachAt (0x30);
    attachAt (0x10);
    attachAt (0x20);
    ASSERT_EQ (HIDBuildDeviceList (0, 0, simulatedDevices), 1);
    const IOHIDDeviceRef a = at (0), b = at (1), c = at (2);
    ASSERT_EQ (IOHIDDevice_GetLocationID (a), 0x10);

    attachAt (0x40);  // arrives after the snapshot: the manager has it, the snapshot does not
    const IOHIDDeviceRef stranger = managerDeviceAt (0x40);
    ASSERT_NE (stranger, nullptr);

    struct Step
    {
        const char* what;
        std::function<IOHIDDeviceRef()> call;
        IOHIDDeviceRef expected;
        CFIndex cursorAfter;
    };
    const Step steps[] = {
        { "first", [] { return HIDGetFirstDevice(); }, a, 0 },
        { "next of the cursor's device", [&] { return HIDGetNextDevice (a); }, b, 1 },
        { "null device: cursor unchanged", [] { return HIDGetNextDevice (nullptr); }, nullptr, 1 },
        { "next of the last", [&] { return HIDGetNextDevice (b); }, c, 2 },
        { "after the last", [&] { return HIDGetNextDevice (c); }, nullptr, 3 },
        { "any device once past the end", [&] { return HIDGetNextDevice (a); }, nullptr, 3 },
        { "first starts over", [] { return HIDGetFirstDevice(); }, a, 0 },
        { "a device elsewhere than the cursor", [&] { return HIDGetNextDevice (b); }, c, 2 },
        { "the cursor's device again", [&] { return HIDGetNextDevice (c); }, nullptr, 3 },
        { "first again", [] { return HIDGetFirstDevice(); }, a, 0 },
        { "a device not in the snapshot", [&] { return HIDGetNextDevice (stranger); }, nullptr, -1 },
        { "lost place: even a snapshot device", [&] { return HIDGetNextDevice (a); }, nullptr, -1 },
    };

    for (const auto& step : steps)
    {
        SCOPED_TRACE (step.what);
        EXPECT_EQ (step.call(), step.expected);
        EXPECT_EQ (gDeviceIndex, step.cursorAfter);
    }

    HIDReleaseDeviceList();
    EXPECT_EQ (gDeviceIndex, -1);  // the release leaves the cursor
    EXPECT_EQ (HIDGetNextDevice (a), nullptr);
}

TEST_F (HidDeviceListTest, GettersReadThirtyTwoBitsZeroExtended)
{
    struct Case
    {
        const char* what;
        std::optional<platform::HidPropertyValue> vendor;
        long expected;
    };
    const Case cases[] = {
        { "a plain value", int64_t{ 0x5E21 }, 0x5E21 },
        { "missing", {}, 0 },
        { "a string", std::string ("5E21"), 0 },
        { "only the top bit", int64_t{ 0x80000000 }, 2147483648L },
        { "all 32 bits", int64_t{ 0xFFFFFFFF }, 4294967295L },
        { "wider than 32 bits is cut, not refused", int64_t{ 0x100000005 }, 5 },
    };

    for (size_t i = 0; i < std::size (cases); ++i)
    {
        platform::HidProperties properties{ { "LocationID", static_cast<int64_t> (i + 1) } };
        if (cases[i].vendor)
            properties["VendorID"] = *cases[i].vendor;
        SimulatedHid::attach (properties);
    }
    ASSERT_EQ (HIDBuildDeviceList (0, 0, simulatedDevices), 1);
    ASSERT_EQ (CFArrayGetCount (gDeviceCFArrayRef), static_cast<CFIndex> (std::size (cases)));

    for (size_t i = 0; i < std::size (cases); ++i)
    {
        SCOPED_TRACE (cases[i].what);
        EXPECT_EQ (IOHIDDevice_GetVendorID (at (static_cast<CFIndex> (i))), cases[i].expected);
    }

    EXPECT_EQ (IOHIDDevice_GetVendorID (nullptr), 0);
    EXPECT_EQ (IOHIDDevice_GetProductID (nullptr), 0);
    EXPECT_EQ (IOHIDDevice_GetVersionNumber (nullptr), 0);
    EXPECT_EQ (IOHIDDevice_GetLocationID (nullptr), 0);
}

TEST_F (HidDeviceListTest, GettersReadTheirOwnKeys)
{
    SimulatedHid::attach ({ { "VendorID", int64_t{ 1 } },
                            { "ProductID", int64_t{ 2 } },
                            { "VersionNumber", int64_t{ 3 } },
                            { "LocationID", int64_t{ 4 } } });
    ASSERT_EQ (HIDBuildDeviceList (0, 0, simulatedDevices), 1);
    const auto device = HIDGetFirstDevice();
    EXPECT_EQ (IOHIDDevice_GetVendorID (device), 1);
    EXPECT_EQ (IOHIDDevice_GetProductID (device), 2);
    EXPECT_EQ (IOHIDDevice_GetVersionNumber (device), 3);
    EXPECT_EQ (IOHIDDevice_GetLocationID (device), 4);
}

TEST_F (HidDeviceListTest, FailuresWriteTheirExactMessagesAndCarryOn)
{
    struct Case
    {
        const char* what;
        std::function<void()> arrange;
        std::vector<UInt32> pages, usages;
        std::string expectedStderr;
        Boolean expectedResult;
        std::vector<long> expectedSnapshot;
    };

    const std::vector<long> all{ 0x10, 0x20, 0x30 };
    const Case cases[] = {
        { "the manager cannot be opened",
          [] { SimulatedHid::failNextStart(); },
          { 1 },
          { 6 },
          buildPrefix + "Couldn\xE2\x80\x99t open IOHIDManager.",
          0,
          {} },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        // Each case starts without a manager or devices, as the program does.
        const std::shared_ptr<qvxtest::SimulatedHidDevice> devices[] = { attachAt (0x10, 1, 6),
                                                                         attachAt (0x20, 1, 2),
                                                                         attachAt (0x30, 12, 1) };
        c.arrange();

        {
            qvxtest::StderrCapture stderrCapture;
            EXPECT_EQ (HIDBuildMultiDeviceList (c.pages.data(), c.usages.data(),
                                                static_cast<int> (c.pages.size()), simulatedDevices),
                       c.expectedResult);
            EXPECT_EQ (stderrCapture.text(), c.expectedStderr);
        }
        EXPECT_EQ (walkLocations(), c.expectedSnapshot);

        HIDReleaseDeviceList();
        CFRelease (gIOHIDManagerRef);
        gIOHIDManagerRef = nullptr;
        for (const auto& device : devices)
            device->remove();
    }
}

TEST_F (HidDeviceListTest, AManagerThatFailedToOpenIsNotOpenedAgain)
{
    attachAt (0x10);
    SimulatedHid::failNextStart();
    qvxtest::StderrCapture stderrCapture;
    ASSERT_EQ (HIDBuildDeviceList (0, 0, simulatedDevices), 0);
    const auto manager = gIOHIDManagerRef;
    ASSERT_NE (manager, nullptr);

    // Opening now would succeed and find the device; the build must not try.
    EXPECT_EQ (HIDBuildDeviceList (0, 0, simulatedDevices), 1);
    EXPECT_EQ (gIOHIDManagerRef, manager);
    EXPECT_EQ (gDeviceCFArrayRef, nullptr);
    EXPECT_EQ (stderrCapture.text(), buildPrefix + "Couldn\xE2\x80\x99t open IOHIDManager.");
}

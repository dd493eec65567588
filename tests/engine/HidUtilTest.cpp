#include "hid/HidUtil.h"
#include "hid/HidDeviceList.h"
#include "support/MessageLoop.h"
#include "support/RecordingHidHandler.h"
#include "support/SimulatedHid.h"
#include "support/StderrCapture.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <vector>

using qvxtest::RecordingHidHandler;
using qvxtest::SimulatedHid;
using qvxtest::SimulatedHidDevice;

namespace
{

struct HidUtilTest : testing::Test
{
    /** A live utility object for the QVX-720 with the handler; whether it took a controller. */
    bool start()
    {
        util = std::make_unique<HidUtil> (SimulatedHid::backend());
        EXPECT_TRUE (util->initialize (&handler, 1));
        return util->deviceMatching();
    }

    /** Waits until the live manager knows this many devices: by then each was offered. */
    static bool pumpUntilManagerHas (CFIndex count)
    {
        return qvxtest::pumpUntil (
            [count]
            {
                CFSetRef devices = IOHIDManagerCopyDevices (gIOHIDManagerRef);
                CFIndex n = 0;
                CFSetApplyFunction (
                    devices, [] (const void*, void* c) { ++*static_cast<CFIndex*> (c); }, &n);
                CFRelease (devices);
                return n == count;
            });
    }

    static std::vector<uint8_t> report (uint8_t first, size_t length)
    {
        std::vector<uint8_t> bytes (length);
        for (size_t i = 0; i < length; ++i)
            bytes[i] = static_cast<uint8_t> (i == 0 ? first : i);
        return bytes;
    }

    bool bufferIsZero() const
    {
        return std::all_of (util->m_pReportBuffer, util->m_pReportBuffer + 64,
                            [] (auto b) { return b == 0; });
    }

    RecordingHidHandler handler;
    std::unique_ptr<HidUtil> util;
};

}  // namespace

TEST_F (HidUtilTest, TakesTheControllerAmongOtherDevicesWithoutTellingTheHandler)
{
    SimulatedHid::attach ({ { "VendorID", int64_t{ 0x046D } },
                            { "ProductID", int64_t{ 0x0026 } },
                            { "LocationID", int64_t{ 1 } } });
    auto controller = SimulatedHid::attachController (0x0123, 0x02000000);

    ASSERT_TRUE (start());
    EXPECT_EQ (IOHIDDevice_GetLocationID (util->m_pDevice), 0x02000000);
    EXPECT_EQ (util->deviceVersion(), 123);
    EXPECT_TRUE (controller->isOpen());

    // The manager then offers every device it has, the held one included: all refused.
    ASSERT_TRUE (pumpUntilManagerHas (2));
    qvxtest::pumpFor (20);
    EXPECT_EQ (handler.matchings, 0);
}

TEST_F (HidUtilTest, RefusesOtherProductsSilently)
{
    qvxtest::StderrCapture stderrCapture;
    SimulatedHid::attach ({ { "VendorID", int64_t{ 0x5E21 } }, { "ProductID", int64_t{ 0x0027 } } });
    SimulatedHid::attach (
        { { "VendorID", int64_t{ 0x5E21 } }, { "ProductID", int64_t{ 0 } } });  // type 0's product
    SimulatedHid::attach ({ { "VendorID", std::string ("24097") }, { "ProductID", int64_t{ 0x0026 } } });

    EXPECT_FALSE (start());
    EXPECT_TRUE (util->m_matchingRegistered);

    SimulatedHid::attach ({ { "VendorID", int64_t{ 0x5E22 } }, { "ProductID", int64_t{ 0x0026 } } });
    ASSERT_TRUE (pumpUntilManagerHas (4));
    EXPECT_EQ (util->m_pDevice, nullptr);
    EXPECT_EQ (handler.matchings, 0);
    EXPECT_EQ (stderrCapture.text(), "");
}

TEST_F (HidUtilTest, AControllerArrivingLaterIsTakenAndAnnounced)
{
    ASSERT_FALSE (start());
    auto controller = SimulatedHid::attachController();
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return handler.matchings == 1; }));
    EXPECT_NE (util->m_pDevice, nullptr);
    EXPECT_EQ (util->m_reportLength, 0u);
    EXPECT_TRUE (bufferIsZero());
    EXPECT_TRUE (controller->isOpen());
}

TEST_F (HidUtilTest, StoresEveryReportButAnnouncesOnlyThoseFromF0)
{
    auto controller = SimulatedHid::attachController();
    ASSERT_TRUE (start());

    struct Case
    {
        uint8_t first;
        size_t length;
        uint32_t expectedLength;
        bool announced;
    };
    const Case cases[] = {
        { 0xEF, 10, 10, false },                          // stored, not announced
        { 0xF0, 20, 20, true },  { 0xF1, 70, 64, true },  // capped at the buffer
        { 0x00, 1, 1, false },   { 0xFF, 64, 64, true },
    };

    size_t announcements = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << "first byte " << int (c.first) << ", " << c.length << " bytes");
        const auto bytes = report (c.first, c.length);
        util->m_reportLength = 0xFFFF;  // to see the report arrive
        ASSERT_TRUE (controller->sendInputReport (bytes));
        ASSERT_TRUE (qvxtest::pumpUntil ([&] { return util->m_reportLength != 0xFFFF; }));

        EXPECT_EQ (util->m_reportLength, c.expectedLength);
        EXPECT_EQ (std::memcmp (util->m_pReportBuffer, bytes.data(), c.expectedLength), 0);
        announcements += c.announced ? 1 : 0;
        EXPECT_EQ (handler.inputArguments, std::vector<int> (announcements, 0));

        // Handed out when asked, announced or not, and the same again.
        std::array<unsigned char, 64> out{}, again{};
        EXPECT_EQ (util->deviceInput (out.data(), out.size(), 0), c.expectedLength);
        EXPECT_EQ (util->deviceInput (again.data(), again.size(), 0), c.expectedLength);
        EXPECT_EQ (out, again);
        EXPECT_EQ (std::memcmp (out.data(), bytes.data(), c.expectedLength), 0);
    }
}

TEST_F (HidUtilTest, DeviceInputCopiesAtMostWhatWasAskedAndComplainsOtherwise)
{
    auto controller = SimulatedHid::attachController();
    ASSERT_TRUE (start());
    const auto bytes = report (0xF0, 64);
    ASSERT_TRUE (controller->sendInputReport (bytes));
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return handler.inputArguments.size() == 1; }));

    std::array<unsigned char, 64> out{};
    {
        qvxtest::StderrCapture stderrCapture;
        EXPECT_EQ (util->deviceInput (out.data(), 10, 0), 10u);
        EXPECT_EQ (std::memcmp (out.data(), bytes.data(), 10), 0);
        EXPECT_EQ (out[10], 0);
        EXPECT_EQ (stderrCapture.text(), "");
    }

    char expectedForZeroLength[128];
    std::snprintf (expectedForZeroLength, sizeof (expectedForZeroLength),
                   "deviceInput failed. pdata:%p length:0\r\n", static_cast<void*> (out.data()));

    qvxtest::StderrCapture stderrCapture;
    EXPECT_EQ (util->deviceInput (nullptr, 64, 0), 0u);
    EXPECT_EQ (util->deviceInput (out.data(), 0, 0), 0u);
    util->finalize();
    EXPECT_EQ (util->deviceInput (out.data(), 64, 0), 0u);
    EXPECT_EQ (stderrCapture.text(), std::string ("deviceInput failed. pdata:(nil) length:64\r\n") +
                                         expectedForZeroLength + "deviceInput failed. m_pDevice:(nil)\r\n");
}

TEST_F (HidUtilTest, DeviceOutputSendsReportZeroToTheHeldControllerOnly)
{
    std::array<unsigned char, 64> data{};
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<unsigned char> (0xA0 + i);

    {
        qvxtest::StderrCapture stderrCapture;
        EXPECT_FALSE (start());
        EXPECT_FALSE (util->deviceOutput (data.data(), data.size()));
        EXPECT_EQ (stderrCapture.text(), "");
    }

    auto controller = SimulatedHid::attachController();
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return handler.matchings == 1; }));

    EXPECT_FALSE (util->deviceOutput (nullptr, 64));
    EXPECT_FALSE (util->deviceOutput (data.data(), 0));
    EXPECT_TRUE (util->deviceOutput (data.data(), data.size()));

    ASSERT_TRUE (controller->waitForOutputReports (1, 5000));
    const auto received = controller->outputReports();
    ASSERT_EQ (received.size(), 1u);
    EXPECT_EQ (received[0].reportNumber, 0);
    EXPECT_EQ (received[0].bytes, std::vector<uint8_t> (data.begin(), data.end()));
}

TEST_F (HidUtilTest, DeviceVersionReadsFourBcdDigits)
{
    struct Case
    {
        int64_t release;
        long expected;
    };
    const Case cases[] = { { 0x0123, 123 }, { 0x1234, 1234 }, { 0x00A0, 100 }, { 0x12345, 18345 }, { 0, 0 } };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << "release 0x" << std::hex << c.release);
        auto controller = SimulatedHid::attachController (c.release);
        ASSERT_TRUE (start());
        EXPECT_EQ (util->deviceVersion(), c.expected);
        util.reset();  // a new object builds a new manager
        controller->remove();
    }

    EXPECT_FALSE (start());
    EXPECT_EQ (util->deviceVersion(), 0);
}

TEST_F (HidUtilTest, RemovalLetsGoBeforeTheHandlerHearsAndTakesNoOtherController)
{
    auto first = SimulatedHid::attachController (0x0100, 0x01100000);
    auto second = SimulatedHid::attachController (0x0200, 0x01200000);
    ASSERT_TRUE (start());
    ASSERT_EQ (util->deviceVersion(), 100);
    ASSERT_TRUE (pumpUntilManagerHas (2));

    ASSERT_TRUE (first->sendInputReport (report (0xF0, 30)));
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return handler.inputArguments.size() == 1; }));

    bool seenReleased = false;
    handler.onRemoval = [&]
    { seenReleased = util->m_pDevice == nullptr && util->m_reportLength == 0 && bufferIsZero(); };
    first->remove();
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return handler.removals == 1; }));
    EXPECT_TRUE (seenReleased);
    EXPECT_TRUE (first->waitUntilClosed (5000));

    // The second controller was refused while the first was held, and is not offered again.
    qvxtest::pumpFor (50);
    EXPECT_EQ (util->m_pDevice, nullptr);
    EXPECT_EQ (handler.matchings, 0);
    EXPECT_FALSE (second->isOpen());

    // Plugged in again, it is taken.
    second->remove();
    auto replugged = SimulatedHid::attachController (0x0200, 0x01200000);
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return handler.matchings == 1; }));
    EXPECT_EQ (util->deviceVersion(), 200);
    EXPECT_TRUE (replugged->isOpen());
    EXPECT_EQ (handler.removals, 1);
}

TEST_F (HidUtilTest, FinalizeLetsTheControllerGoWithoutARemovalCallBack)
{
    auto controller = SimulatedHid::attachController();
    ASSERT_TRUE (start());
    util->finalize();

    EXPECT_EQ (util->m_pDevice, nullptr);
    EXPECT_EQ (util->m_pHandler, nullptr);
    EXPECT_EQ (HidUtil::m_pinstance, nullptr);
    EXPECT_EQ (gDeviceCFArrayRef, nullptr);
    EXPECT_NE (gIOHIDManagerRef, nullptr);
    EXPECT_TRUE (controller->waitUntilClosed (5000));

    // Nothing reaches the handler or the object any more: neither the removal nor a new arrival,
    // which the manager would otherwise offer through the arrival callback.
    controller->remove();
    auto arriving = SimulatedHid::attachController();
    ASSERT_TRUE (pumpUntilManagerHas (1));
    qvxtest::pumpFor (20);
    EXPECT_EQ (handler.removals, 0);
    EXPECT_EQ (handler.matchings, 0);
    EXPECT_EQ (util->m_pDevice, nullptr);
    EXPECT_FALSE (arriving->isOpen());

    util.reset();
    EXPECT_EQ (gIOHIDManagerRef, nullptr);  // forgotten, so that the next object builds its own

    // The forgotten manager still sees arrivals; it must not call into the object that is gone.
    arriving->remove();
    SimulatedHid::attachController();
    qvxtest::pumpFor (50);
}

TEST_F (HidUtilTest, ASecondInitializeIsRefusedAndTheLiveInstanceKeepsEverything)
{
    auto controller = SimulatedHid::attachController();
    ASSERT_TRUE (start());
    const auto manager = gIOHIDManagerRef;
    const auto snapshot = gDeviceCFArrayRef;

    RecordingHidHandler otherHandler;
    {
        auto refused = std::make_unique<HidUtil> (SimulatedHid::backend());
        EXPECT_FALSE (refused->initialize (&otherHandler, 1));
        EXPECT_EQ (HidUtil::m_pinstance, util.get());
        refused->finalize();
        refused.reset();
    }
    EXPECT_EQ (HidUtil::m_pinstance, util.get());
    EXPECT_EQ (gIOHIDManagerRef, manager);
    EXPECT_EQ (gDeviceCFArrayRef, snapshot);
    EXPECT_EQ (util->m_pHandler, &handler);

    // The live one still hears its input reports, the removal and a later arrival.
    ASSERT_TRUE (controller->sendInputReport (report (0xF0, 8)));
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return handler.inputArguments.size() == 1; }));
    controller->remove();
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return handler.removals == 1; }));
    SimulatedHid::attachController();
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return handler.matchings == 1; }));

    EXPECT_EQ (otherHandler.removals + otherHandler.matchings, 0);
    EXPECT_TRUE (otherHandler.inputArguments.empty());
}

TEST_F (HidUtilTest, AManagerThatCannotOpenStillGetsItsArrivalCallback)
{
    auto controller = SimulatedHid::attachController();
    SimulatedHid::failNextStart();
    qvxtest::StderrCapture stderrCapture;

    EXPECT_FALSE (start());
    EXPECT_TRUE (util->m_matchingRegistered);
    EXPECT_NE (gIOHIDManagerRef, nullptr);
    EXPECT_EQ (stderrCapture.text(), "Boolean HIDBuildMultiDeviceList(const UInt32 *, const UInt32 *, int): "
                                     "Couldn\xE2\x80\x99t open IOHIDManager.");

    // An unopened manager reaches no device: the link stays without a controller.
    qvxtest::pumpFor (20);
    EXPECT_EQ (handler.matchings, 0);
    EXPECT_FALSE (controller->isOpen());
}

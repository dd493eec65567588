#include "hid/HidCtrl.h"
#include "hid/HidUtil.h"
#include "support/MessageLoop.h"
#include "support/RecordingHidHandler.h"
#include "support/SimulatedHid.h"
#include "support/StderrCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

using qvxtest::RecordingHidHandler;
using qvxtest::SimulatedHid;

namespace
{

struct HidCtrlTest : testing::Test
{
    static std::vector<uint8_t> answer (uint8_t first, size_t length, uint8_t fill)
    {
        std::vector<uint8_t> bytes (length, fill);
        bytes[0] = first;
        return bytes;
    }

    RecordingHidHandler owner;
    HidCtrl ctrl{ SimulatedHid::backend() };
    unsigned char request[64] = { 0xF0, 0x01 };
};

}  // namespace

TEST_F (HidCtrlTest, AControllerPresentAtTheStartIsReportedByTheResultOnly)
{
    SimulatedHid::attachController (0x0123);
    EXPECT_EQ (ctrl.initialize (&owner, 1), 1);
    EXPECT_EQ (ctrl.m_connected, 1);
    EXPECT_EQ (ctrl.m_version, 123);
    EXPECT_EQ (ctrl.m_pHandler, &owner);
    EXPECT_NE (ctrl.m_pHidUtil, nullptr);

    qvxtest::pumpFor (20);
    EXPECT_EQ (owner.matchings, 0);
}

TEST_F (HidCtrlTest, AControllerPluggedInLaterIsAnnouncedOnce)
{
    EXPECT_EQ (ctrl.initialize (&owner, 1), 0);
    EXPECT_EQ (ctrl.m_connected, 0);
    EXPECT_FALSE (ctrl.sendData (request, 64));

    SimulatedHid::attachController (0x0241);
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return owner.matchings == 1; }));
    qvxtest::pumpFor (20);
    EXPECT_EQ (owner.matchings, 1);
    EXPECT_EQ (ctrl.m_connected, 1);
    EXPECT_EQ (ctrl.m_version, 241);
    EXPECT_EQ (ctrl.m_recvLength, 0u);
}

TEST_F (HidCtrlTest, AnAnswerIsPassedOnWithItsLength)
{
    auto controller = SimulatedHid::attachController();
    ASSERT_EQ (ctrl.initialize (&owner, 1), 1);

    ASSERT_TRUE (controller->sendInputReport (answer (0xF0, 64, 0xAA)));
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return owner.inputArguments.size() == 1; }));
    EXPECT_EQ (ctrl.m_recvLength, 64u);

    // The owner sees the new answer already in place; bytes past it keep what they held.
    const auto shortAnswer = answer (0xF1, 10, 0x55);
    bool inPlace = false;
    owner.onInput = [&]
    { inPlace = ctrl.m_recvLength == 10 && std::memcmp (ctrl.m_recvBuffer, shortAnswer.data(), 10) == 0; };
    ASSERT_TRUE (controller->sendInputReport (shortAnswer));
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return owner.inputArguments.size() == 2; }));
    EXPECT_TRUE (inPlace);
    EXPECT_EQ (owner.inputArguments, (std::vector<int>{ 0, 0 }));
    EXPECT_EQ (ctrl.m_recvBuffer[10], 0xAA);
    EXPECT_EQ (ctrl.m_recvBuffer[63], 0xAA);
}

TEST_F (HidCtrlTest, RemovalClearsTheLinkBeforeTheOwnerHearsAndStopsSends)
{
    auto controller = SimulatedHid::attachController();
    ASSERT_EQ (ctrl.initialize (&owner, 1), 1);
    ASSERT_TRUE (controller->sendInputReport (answer (0xF0, 64, 0x77)));
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return owner.inputArguments.size() == 1; }));

    bool clearedFirst = false;
    owner.onRemoval = [&]
    {
        const bool bufferZero = std::all_of (std::begin (ctrl.m_recvBuffer), std::end (ctrl.m_recvBuffer),
                                             [] (auto b) { return b == 0; });
        clearedFirst = ctrl.m_connected == 0 && ctrl.m_version == 0 && ctrl.m_recvLength == 0 && bufferZero &&
                       !ctrl.sendData (request, 64);
    };
    controller->remove();
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return owner.removals == 1; }));
    EXPECT_TRUE (clearedFirst);
    EXPECT_FALSE (ctrl.sendData (request, 64));
    EXPECT_TRUE (controller->outputReports().empty());

    // Until a controller is attached again.
    auto next = SimulatedHid::attachController (0x0300);
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return owner.matchings == 1; }));
    EXPECT_EQ (ctrl.m_version, 300);
    EXPECT_TRUE (ctrl.sendData (request, 64));
    ASSERT_TRUE (next->waitForOutputReports (1, 5000));
    EXPECT_EQ (next->outputReports()[0].bytes, std::vector<uint8_t> (request, request + 64));
}

TEST_F (HidCtrlTest, FinalizeDeletesTheUtilityObjectOnceAndTheOwnerHearsNothingMore)
{
    auto controller = SimulatedHid::attachController();
    ASSERT_EQ (ctrl.initialize (&owner, 1), 1);
    ctrl.finalize();
    EXPECT_EQ (ctrl.m_pHandler, nullptr);
    EXPECT_EQ (ctrl.m_pHidUtil, nullptr);
    EXPECT_EQ (HidUtil::m_pinstance, nullptr);
    EXPECT_EQ (ctrl.m_connected, 1);  // kept, as the owner may still read it
    EXPECT_FALSE (ctrl.sendData (request, 64));

    controller->remove();
    SimulatedHid::attachController();
    qvxtest::pumpFor (50);
    EXPECT_EQ (owner.removals + owner.matchings, 0);
    // The destructor runs finalize again: a second delete would show under the sanitizers.
}

TEST_F (HidCtrlTest, ASecondLinkIsRefusedAndTheFirstKeepsItsController)
{
    auto controller = SimulatedHid::attachController();
    ASSERT_EQ (ctrl.initialize (&owner, 1), 1);

    RecordingHidHandler otherOwner;
    {
        HidCtrl other (SimulatedHid::backend());
        EXPECT_EQ (other.initialize (&otherOwner, 1), 0);
        EXPECT_EQ (other.m_pHidUtil, nullptr);
        EXPECT_EQ (other.m_pHandler, nullptr);
        EXPECT_FALSE (other.sendData (request, 64));
        other.finalize();
    }

    EXPECT_TRUE (ctrl.sendData (request, 64));
    ASSERT_TRUE (controller->waitForOutputReports (1, 5000));
    ASSERT_TRUE (controller->sendInputReport (answer (0xF0, 4, 1)));
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return owner.inputArguments.size() == 1; }));
    controller->remove();
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return owner.removals == 1; }));
    EXPECT_EQ (otherOwner.removals + otherOwner.matchings, 0);
    EXPECT_TRUE (otherOwner.inputArguments.empty());
}

TEST_F (HidCtrlTest, ANodeThatCannotBeOpenedIsReportedOnceAndSendsFail)
{
    auto controller = SimulatedHid::attachController();
    controller->failNextOpen (EACCES);

    qvxtest::StderrCapture stderrCapture;
    EXPECT_EQ (ctrl.initialize (&owner, 1), 1);
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE (ctrl.sendData (request, 64));

    EXPECT_EQ (stderrCapture.text(),
               "Cannot open the HID device simulated:" + controller->id() +
                   ": Permission denied\n"
                   "The udev rule packaging/70-qvx720.rules gives the user at the seat access to the "
                   "controller: install it into /etc/udev/rules.d, then plug the controller in again (see "
                   "README).\n");
    EXPECT_EQ (controller->openCount(), 0);
}

TEST_F (HidCtrlTest, ANodeThatCannotBeOpenedForAnotherReasonDoesNotPointAtTheRule)
{
    auto controller = SimulatedHid::attachController();
    controller->failNextOpen (EBUSY);

    qvxtest::StderrCapture stderrCapture;
    EXPECT_EQ (ctrl.initialize (&owner, 1), 1);
    EXPECT_FALSE (ctrl.sendData (request, 64));

    EXPECT_EQ (stderrCapture.text(),
               "Cannot open the HID device simulated:" + controller->id() + ": Device or resource busy\n");
}

TEST_F (HidCtrlTest, AFailedWriteIsReportedOnceWithItsReason)
{
    auto controller = SimulatedHid::attachController();
    ASSERT_EQ (ctrl.initialize (&owner, 1), 1);
    ASSERT_TRUE (ctrl.sendData (request, 64));
    ASSERT_TRUE (controller->waitForOutputReports (1, 10000));

    qvxtest::StderrCapture stderrCapture;
    controller->failOutputReports (EPROTO);
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE (ctrl.sendData (request, 64));

    EXPECT_EQ (stderrCapture.text(),
               "Cannot send to the HID device simulated:" + controller->id() + ": Protocol error\n");
    EXPECT_EQ (ctrl.m_connected, 1);
}

TEST_F (HidCtrlTest, AnEmptyInputReportDoesNotStopTheAnswersAfterIt)
{
    auto controller = SimulatedHid::attachController();
    ASSERT_EQ (ctrl.initialize (&owner, 1), 1);

    ASSERT_TRUE (controller->sendInputReport ({}));
    ASSERT_TRUE (controller->sendInputReport (answer (0xF0, 64, 0x82)));

    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return owner.inputArguments.size() == 1 || owner.removals != 0; }))
        << "the answer after the empty report never came";
    EXPECT_EQ (owner.removals, 0);
    EXPECT_EQ (ctrl.m_connected, 1);
    EXPECT_EQ (ctrl.m_recvLength, 64u);
    EXPECT_EQ (ctrl.m_recvBuffer[1], 0x82);

    // And the channel still reads.
    ASSERT_TRUE (controller->sendInputReport (answer (0xF0, 8, 0x80)));
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return owner.inputArguments.size() == 2; }));
    EXPECT_EQ (ctrl.m_recvLength, 8u);
}

TEST_F (HidCtrlTest, ANodeThatHangsUpIsARemovalWithoutWaitingForTheBus)
{
    auto controller = SimulatedHid::attachController();
    ASSERT_EQ (ctrl.initialize (&owner, 1), 1);

    controller->hangUp();
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return owner.removals != 0; })) << "the link never heard of it";
    EXPECT_EQ (ctrl.m_connected, 0);
    EXPECT_FALSE (ctrl.sendData (request, 64));

    // The bus's own news of the removal, later, is not a second one.
    controller->remove();
    qvxtest::pumpFor (50);
    EXPECT_EQ (owner.removals, 1);

    // A controller plugged in again is taken as usual.
    SimulatedHid::attachController();
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return owner.matchings == 1; }));
    EXPECT_TRUE (ctrl.sendData (request, 64));
}

TEST_F (HidCtrlTest, ARemovalRacingSendsNeverLosesOrInventsAReport)
{
    // Each round a worker sends numbered reports while the controller goes; every send must
    // either reach the device that was held or fail, never touch a released one.
    for (int round = 0; round < 10; ++round)
    {
        SCOPED_TRACE (testing::Message() << "round " << round);
        auto controller = SimulatedHid::attachController();
        if (round == 0)
            ASSERT_EQ (ctrl.initialize (&owner, 1), 1);
        else
            ASSERT_TRUE (qvxtest::pumpUntil ([&] { return ctrl.m_connected == 1; }));

        std::atomic<bool> stop{ false };
        std::vector<uint32_t> delivered;
        std::thread worker (
            [&]
            {
                for (uint32_t sequence = 0; !stop; ++sequence)
                {
                    unsigned char report[64] = { 0xF7 };
                    std::memcpy (report + 1, &sequence, sizeof (sequence));
                    if (ctrl.sendData (report, sizeof (report)))
                        delivered.push_back (sequence);
                }
            });

        const bool sending = controller->waitForOutputReports (20, 5000);
        controller->remove();
        const bool removed = qvxtest::pumpUntil ([&] { return ctrl.m_connected == 0; });
        stop = true;
        worker.join();
        ASSERT_TRUE (sending);
        ASSERT_TRUE (removed);
        ASSERT_TRUE (controller->waitUntilClosed (5000));

        std::vector<uint32_t> received;
        for (const auto& report : controller->outputReports())
        {
            uint32_t sequence = 0;
            std::memcpy (&sequence, report.bytes.data() + 1, sizeof (sequence));
            received.push_back (sequence);
        }
        EXPECT_EQ (received, delivered);
        EXPECT_FALSE (ctrl.sendData (request, 64));
    }
    EXPECT_EQ (owner.removals, 10);
}

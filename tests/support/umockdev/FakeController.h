#pragma once

#include "support/ControllerModel.h"
#include "support/umockdev/UmockdevTestbed.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

namespace qvxtest
{

/** A QVX-720 on a umockdev test bed, for tests of the real Linux link and of the real program
    (see UmockdevTestbed.h for the process set-up). It is plugged in and out through sysfs and
    uevents like the hardware, and serves its hidraw node from a thread of its own: it reads the
    program's output reports there (65 bytes each: report number 0, then the 64 bytes), lets
    `model` answer each and writes the answers back, 64 bytes each. A removal that the model asks
    for (Fault::Kind::removal) unplugs it from that thread, in place of the answer; a hang-up
    (Fault::Kind::hangUp, hangUpAfterAnswer) hangs the program's end of the node up, as a hidraw
    node whose controller was pulled out, while the bed still shows the device. A pty cannot fail
    a write with a chosen errno: the faults that fail the program's writes (failWritesAfterAnswer,
    refuseWritesAfterAnswer) need the program to run with the tests' preload library
    (FailingWritesPreload.cpp) and QVX_FAILING_WRITES naming its control file, in this process
    and the program alike; the controller arms it before the answer goes out.

    The bed cannot use a node name twice, so each plug() after the first shows the controller as
    the kernel shows a new device: the next hidraw number and HID instance, on the same port.

    Typical use, with the program started after plug():

        UmockdevTestbed testbed;
        FakeController controller (testbed, port);    // port: an UsbHidDevice with 5e21/0026
        controller.plug();
        auto program = qvxtest::startUpdater();        // inherits the preload and the bed
        ... drive the program ...
        EXPECT_EQ (controller.model.memory(), ...);
        EXPECT_EQ (controller.bytesWrittenAfterUnplug(), 0u);

    Every member may be called from any thread. */
class FakeController
{
public:
    /** The controller as it will show in sysfs; plugged in by plug(). */
    FakeController (UmockdevTestbed& testbed, UsbHidDevice device);
    /** Stops serving and unplugs it when plugged. */
    ~FakeController();

    /** Plugs it in and serves its new node. False when the bed refused (with a test failure) or
        an unplug is still under way on another thread. */
    bool plug();
    /** Unplugs it. Its node stays served, answered no more: what the program writes there from
        now on counts in bytesWrittenAfterUnplug(). Nothing when not plugged. */
    void unplug();
    /** False once an unplug has ended: its uevents sent, the device gone from sysfs. */
    bool isPlugged() const;

    /** Whether its node has hung up, as the model asked (Fault::Kind::hangUp, hangUpAfterAnswer
        and failWritesAfterAnswer). */
    bool hasHungUp() const;

    /** The device as plugged last (or as it will be plugged first). */
    UsbHidDevice device() const;

    /** Answers the program's reports with `model` (the default); off, the reports are only
        recorded and the test answers with sendInputReport(). */
    void setAnswering (bool answering);

    /** Writes one input report to the node as the controller would, unasked. False when not
        plugged or the write failed. The program reads it as one report only if it has read the
        one before: a pty does not keep the boundaries of what waits in it. */
    bool sendInputReport (const std::vector<uint8_t>& report);

    /** The output reports received while plugged, in order, each as written: the report number,
        then the report's bytes. */
    std::vector<std::vector<uint8_t>> outputReports() const;

    /** How many of them there are, and the last one (empty when none): cheap enough to ask
        after every report. */
    size_t outputReportCount() const;
    std::vector<uint8_t> lastOutputReport() const;

    /** Bytes the program wrote to a node of this controller after that node was unplugged. */
    size_t bytesWrittenAfterUnplug() const;

    /** Waits until the condition holds, checked after each report and at least every 50 ms.
        False on the time-out. */
    bool waitUntil (const std::function<bool()>& condition, int timeoutMs) const;

    /** What the controller is and how it behaves; set it up before plug(). */
    ControllerModel model;

    FakeController (const FakeController&) = delete;
    FakeController& operator= (const FakeController&) = delete;

private:
    struct Node
    {
        int master = -1;
        bool plugged = false;
        bool abandoned = false;        // unplugged, and the program has closed it: nothing more can come
        std::vector<uint8_t> pending;  // bytes of a report not yet complete
    };

    void serve();
    void readFrom (Node& node);
    void handleReport (const std::vector<uint8_t>& report);
    void unplugLocked (std::unique_lock<std::mutex>& lock);
    /** Stops the output of the node's terminal, which holds the program's writes back; returns
        the descriptor to hang it up with. */
    int holdProgramsWrites();
    /** Hangs the node up, through the descriptor of holdProgramsWrites() when there is one. */
    void hangUpNode (int heldNode);
    /** From now on the program's writes to the node fail with errorNumber without reaching it,
        through the preload library's control file; 0 lets them through again. False, with a test
        failure, when the test has not named the control file. */
    bool failProgramsWrites (int errorNumber);

    UmockdevTestbed& m_testbed;

    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    UsbHidDevice m_device;
    bool m_plugged = false;
    bool m_unplugging = false;
    bool m_everPlugged = false;
    bool m_answering = true;
    bool m_hungUp = false;
    std::list<Node> m_nodes;  // a list: the server holds on to one while plug() adds another
    std::vector<std::vector<uint8_t>> m_outputReports;
    size_t m_bytesAfterUnplug = 0;

    int m_wakeFds[2] = { -1, -1 };
    std::atomic<bool> m_stopping{ false };
    std::thread m_server;
};

}  // namespace qvxtest

#pragma once

// Simulated HID devices under our real HID platform layer: a test attaches virtual devices with
// any properties and removes them at any moment; the managers made with SimulatedHid::backend()
// see their arrivals and removals, and exchange reports with them over a SOCK_SEQPACKET socket pair through
// the same report channel as a hidraw node, on the message thread, exactly as with the Linux backend.

#include "platform/io/HidBackend.h"
#include "support/FailingSends.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qvxtest
{

/** One output report as the device received it. */
struct OutputReport
{
    uint8_t reportNumber = 0;
    std::vector<uint8_t> bytes;
};

/** A virtual HID device. Every member may be called from any thread. While the program has the
    device open, a thread of the device's own reads the program's output reports. */
class SimulatedHidDevice
{
public:
    SimulatedHidDevice (std::string id, platform::HidProperties properties);
    ~SimulatedHidDevice();

    const std::string& id() const { return m_id; }

    /** Sends one input report to the program, which reads it on the message thread; an empty one
        too, as a read of no bytes. False when the program does not have the device open, the
        device was removed or the program has not read enough of the earlier reports. */
    bool sendInputReport (const std::vector<uint8_t>& report);

    /** Unplugs the device: the program stops reading it at once and hears of the removal on the
        message thread. Later output reports the program manages to write are still recorded. */
    void remove();

    /** The device's end of the open channel hangs up, as a hidraw node does whose device has
        failed or gone (POLLHUP at the program), and the bus is not told: the program learns of
        the removal from the channel alone. */
    void hangUp();

    /** From now on the program's writes to the open channel fail with this errno and reach
        nothing, while the device stays attached and input reports still reach the program: as
        while a USB device is being pulled out (EPROTO) or its endpoint is stalled (EPIPE). Until
        the program opens the device again. */
    void failOutputReports (int errorNumber);

    /** Every output report received so far, in order. */
    std::vector<OutputReport> outputReports() const;

    /** Waits until at least count output reports have come. False on the time-out. */
    bool waitForOutputReports (size_t count, int timeoutMs) const;

    /** Called with each output report as it comes, on the device's reader thread, after it is
        recorded; a simulated controller answers from there with sendInputReport. Once this
        returns, the hook it replaces is no longer running and is never called again. */
    void setOutputReportHook (std::function<void (const OutputReport&)> hook);

    /** Whether the program has the device open. */
    bool isOpen() const;

    /** Waits until the program has closed the device and every report it wrote has been read.
        False on the time-out. */
    bool waitUntilClosed (int timeoutMs) const;

    /** The program's next attempt to open the device fails with this errno. */
    void failNextOpen (int errorNumber);

    /** How many times the program opened the device. */
    int openCount() const;

    /** What the program's open does: a fresh socket pair, the program's end returned (or -errno). */
    int openForProgram();

private:
    void readOutputReports (int fd);

    const std::string m_id;

    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    int m_deviceFd = -1;
    /** The program's end of the open channel: the same process, so its number is known. */
    int m_programFd = -1;
    std::unique_ptr<FailingSends> m_failingSends;
    std::thread m_reader;
    bool m_open = false;
    bool m_removed = false;
    int m_failOpenWith = 0;
    int m_openCount = 0;
    std::vector<OutputReport> m_outputReports;
    std::shared_ptr<std::function<void (const OutputReport&)>> m_hook;
    bool m_hookRunning = false;

public:
    const platform::HidProperties properties;
};

/** The simulated HID bus: where tests attach devices. */
class SimulatedHid
{
public:
    /** The backend to give a controller link (or a HID manager) so that it reaches the simulated
        devices instead of udev's. */
    static platform::HidBackendFactory backend();

    /** Attaches a device with these properties. A manager that is open hears of it on the message
        thread; one that opens later finds it there. Any thread. */
    static std::shared_ptr<SimulatedHidDevice> attach (platform::HidProperties properties);

    /** Attaches a QVX-720: vendor 0x5E21, product 0x0026, the given release and location. */
    static std::shared_ptr<SimulatedHidDevice> attachController (int64_t versionNumber = 0x0123,
                                                                 int64_t locationId = 0x01200000);

    /** The next manager that opens cannot reach the devices (its open fails). */
    static void failNextStart();

    /** What a fresh process has: no device attached and no failure pending. Managers still open
        hear of the removals. Message thread, between tests. */
    static void reset();
};

}  // namespace qvxtest

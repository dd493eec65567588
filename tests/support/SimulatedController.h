#pragma once

#include "support/ControllerModel.h"
#include "support/SimulatedHid.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace qvxtest
{

/** A QVX-720 on the simulated HID bus: a virtual HID device with the controller's vendor and
    product identifiers whose answers come from a ControllerModel. Like a real device it answers
    on a thread of its own, so the program meets it exactly as it meets the hardware: through our
    HID layer and the message loop.

    The link under test reaches it when it is made with SimulatedHid::backend(). attach() on the
    message thread; remove(),
    sendInputReport() and the model from any thread. Its destructor ends the answering: an
    answer still waiting for its moment is dropped, and one being sent is waited for. */
class SimulatedController
{
public:
    SimulatedController() = default;
    ~SimulatedController();

    /** Plugs the controller in (again, after a removal). */
    void attach();
    /** Unplugs it. */
    void remove();

    /** Sends an input report of its own, as if the controller had said something unasked. */
    void sendInputReport (const uint8_t* data, size_t length);

    /** When each request with this command arrived, in ms of the high-resolution counter. */
    std::vector<double> receiveTimesOf (uint8_t command) const;

    /** One request as it went: when it arrived and when its answer was out, readable by the
        program (0 when it was not answered), in ms of the high-resolution counter. */
    struct Exchange
    {
        uint8_t command;
        double received;
        double answered;
    };

    /** Every request so far, in order. */
    std::vector<Exchange> exchanges() const;

    /** Answers this long after a request arrives, timed precisely (spinning for the last
        stretch), as a full-speed USB device's round trip would. 0: at once. */
    void setAnswerDelayMicroseconds (int microseconds) { m_answerDelayUs = microseconds; }

    /** What the controller is and how it behaves; set it up before attach(). */
    ControllerModel model;

private:
    /** Whether answers may still go out, and how many are being worked out or sent. Shared with
        the device's hook, which may run on the device's thread after this object is gone. */
    struct Answering
    {
        std::mutex lock;
        std::condition_variable changed;
        bool ended = false;
        int inProgress = 0;
    };

    void answer (const OutputReport& request);
    /** Waits until the deadline; false at once when the answering has ended. */
    bool waitUntil (std::chrono::steady_clock::time_point deadline);
    std::shared_ptr<SimulatedHidDevice> device() const;

    const std::shared_ptr<Answering> m_answering = std::make_shared<Answering>();

    std::atomic<int> m_answerDelayUs{ 0 };

    mutable std::mutex m_lock;
    std::shared_ptr<SimulatedHidDevice> m_device;
    std::vector<Exchange> m_exchanges;
};

}  // namespace qvxtest

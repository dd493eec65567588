#include "support/SimulatedController.h"

#include <juce_events/juce_events.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace qvxtest
{

namespace
{
/** Waits until the deadline: sleeps while it is far, spins for the last stretch, so that the
    delay does not overshoot by a scheduler's tick. */
void waitUntil (std::chrono::steady_clock::time_point deadline)
{
    constexpr auto spin = std::chrono::microseconds (300);

    if (const auto now = std::chrono::steady_clock::now(); deadline - now > spin)
        std::this_thread::sleep_for (deadline - now - spin);

    while (std::chrono::steady_clock::now() < deadline)
    {
    }
}
}  // namespace

SimulatedController::~SimulatedController()
{
    if (auto d = device())
    {
        d->setOutputReportHook (nullptr);
        d->remove();
    }
}

void SimulatedController::attach()
{
    auto d = SimulatedHid::attachController();
    d->setOutputReportHook ([this] (const OutputReport& report) { answer (report); });

    const std::lock_guard<std::mutex> lock (m_lock);
    m_device = std::move (d);
}

void SimulatedController::remove()
{
    if (auto d = device())
        d->remove();
}

std::shared_ptr<SimulatedHidDevice> SimulatedController::device() const
{
    const std::lock_guard<std::mutex> lock (m_lock);
    return m_device;
}

void SimulatedController::sendInputReport (const uint8_t* data, size_t length)
{
    if (auto d = device())
        d->sendInputReport (std::vector<uint8_t> (data, data + length));
}

std::vector<double> SimulatedController::receiveTimesOf (uint8_t command) const
{
    const std::lock_guard<std::mutex> lock (m_lock);
    std::vector<double> times;
    for (const auto& [c, time] : m_receiveTimes)
        if (c == command)
            times.push_back (time);
    return times;
}

void SimulatedController::answer (const OutputReport& output)
{
    const auto arrived = std::chrono::steady_clock::now();

    // The program writes 64 bytes behind report number 0; anything else is not a request.
    ReportBytes request{};
    std::copy_n (output.bytes.begin(), std::min (output.bytes.size(), request.size()), request.begin());

    {
        const std::lock_guard<std::mutex> lock (m_lock);
        m_receiveTimes.emplace_back (request[Report::command], juce::Time::getMillisecondCounterHiRes());
    }

    const auto reply = model.handle (request);

    if (reply.remove)
    {
        // Not from this thread, which is the device's own reader.
        std::thread ([d = device()] { d->remove(); }).detach();
        return;
    }

    if (reply.answers.empty())
        return;

    waitUntil (arrived + std::chrono::microseconds (m_answerDelayUs.load()) +
               std::chrono::milliseconds (reply.delayMs));

    if (auto d = device())
        for (const auto& a : reply.answers)
            d->sendInputReport (std::vector<uint8_t> (a.begin(), a.end()));
}

}  // namespace qvxtest

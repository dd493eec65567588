#include "support/SimulatedController.h"

#include <juce_events/juce_events.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace qvxtest
{

SimulatedController::~SimulatedController()
{
    if (auto d = device())
        d->setOutputReportHook (nullptr);

    // The device's thread may be inside the hook still: let it finish before this object goes.
    {
        std::unique_lock<std::mutex> lock (m_answering->lock);
        m_answering->ended = true;
        m_answering->changed.notify_all();
        m_answering->changed.wait (lock, [this] { return m_answering->inProgress == 0; });
    }

    if (auto d = device())
        d->remove();
}

void SimulatedController::attach()
{
    auto d = SimulatedHid::attachController();
    d->setOutputReportHook (
        [this, answering = m_answering] (const OutputReport& report)
        {
            {
                const std::lock_guard<std::mutex> lock (answering->lock);
                if (answering->ended)
                    return;
                ++answering->inProgress;
            }

            answer (report);

            const std::lock_guard<std::mutex> lock (answering->lock);
            --answering->inProgress;
            answering->changed.notify_all();
        });

    const std::lock_guard<std::mutex> lock (m_lock);
    m_device = std::move (d);
}

void SimulatedController::remove()
{
    if (auto d = device())
        d->remove();
}

bool SimulatedController::waitUntil (std::chrono::steady_clock::time_point deadline)
{
    // Sleeps while the deadline is far and spins for the last stretch, so that the delay does
    // not overshoot by a scheduler's tick.
    constexpr auto spin = std::chrono::microseconds (300);

    // An answer due now, as most are, does not go through the condition variable's timed wait:
    // it costs a system call even when the time has passed.
    if (deadline - std::chrono::steady_clock::now() > spin)
    {
        std::unique_lock<std::mutex> lock (m_answering->lock);
        if (m_answering->changed.wait_until (lock, deadline - spin, [this] { return m_answering->ended; }))
            return false;
    }

    while (std::chrono::steady_clock::now() < deadline)
    {
    }

    const std::lock_guard<std::mutex> lock (m_answering->lock);
    return !m_answering->ended;
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
    for (const auto& exchange : m_exchanges)
        if (exchange.command == command)
            times.push_back (exchange.received);
    return times;
}

std::vector<SimulatedController::Exchange> SimulatedController::exchanges() const
{
    const std::lock_guard<std::mutex> lock (m_lock);
    return m_exchanges;
}

void SimulatedController::answer (const OutputReport& output)
{
    const auto arrived = std::chrono::steady_clock::now();

    // The program writes 64 bytes behind report number 0; anything else is not a request.
    ReportBytes request{};
    std::copy_n (output.bytes.begin(), std::min (output.bytes.size(), request.size()), request.begin());

    size_t index = 0;
    {
        const std::lock_guard<std::mutex> lock (m_lock);
        index = m_exchanges.size();
        m_exchanges.push_back ({ request[Report::command], juce::Time::getMillisecondCounterHiRes(), 0.0 });
    }

    const auto reply = model.handle (request);

    if (reply.remove)
    {
        // Not from this thread, which is the device's own reader.
        std::thread ([d = device()] { d->remove(); }).detach();
        return;
    }

    const auto d = device();
    if (d == nullptr)
        return;

    // A node that goes right after its answer fails the writes before the answer is out, so that
    // no request gets through in between.
    if (!reply.answers.empty())
    {
        if (!waitUntil (arrived + std::chrono::microseconds (m_answerDelayUs.load()) +
                        std::chrono::milliseconds (reply.delayMs)))
            return;

        if (reply.writeError != 0)
            d->failOutputReports (reply.writeError);

        for (const auto& a : reply.answers)
            d->sendInputReport (std::vector<uint8_t> (a.begin(), a.end()));

        const std::lock_guard<std::mutex> lock (m_lock);
        m_exchanges[index].answered = juce::Time::getMillisecondCounterHiRes();
    }

    switch (reply.then)
    {
        case ControllerModel::Reply::Then::nothing:
        case ControllerModel::Reply::Then::refuseWrites:
            break;
        case ControllerModel::Reply::Then::hangUp:
            d->hangUp();
            break;
        case ControllerModel::Reply::Then::failWrites:
            if (waitUntil (std::chrono::steady_clock::now() +
                           std::chrono::milliseconds (reply.hangUpAfterMs)))
                d->hangUp();
            break;
    }
}

}  // namespace qvxtest

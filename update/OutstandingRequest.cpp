#include "update/OutstandingRequest.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <utility>

OutstandingRequest::OutstandingRequest (juce::WaitableEvent& responseEvent, int timeoutMs, int graceMs)
    : m_responseEvent (responseEvent)
    , m_timeoutMs (timeoutMs)
    , m_graceMs (graceMs)
{
}

OutstandingRequest::~OutstandingRequest()
{
    m_deadline.stopTimer();
}

void OutstandingRequest::open (const uint8_t* request, Delivery_t delivery)
{
    jassert (!isOut());
    m_delivery = delivery;
    m_target = request[Report::target];
    m_deadlineMs = juce::Time::getMillisecondCounterHiRes() + m_timeoutMs;
    m_outcome = EXCHANGE_PENDING;
    m_writeFailed = false;
}

bool OutstandingRequest::openForWorker (const uint8_t* request)
{
    const std::lock_guard<std::mutex> lock (m_lock);

    if (m_workerGivenUp)
        return false;

    m_filter = nullptr;
    m_onEnd = nullptr;
    open (request, DELIVERY_WORKER);
    m_responseEvent.reset();
    return true;
}

void OutstandingRequest::openWithCallback (const uint8_t* request, AnswerFilter filter, EndCallback onEnd)
{
    {
        const std::lock_guard<std::mutex> lock (m_lock);
        m_filter = filter;
        m_onEnd = std::move (onEnd);
        open (request, DELIVERY_CALLBACK);
    }

    m_deadline.startTimer (m_timeoutMs);
}

OutstandingRequest::Ending OutstandingRequest::end (ExchangeOutcome_t outcome)
{
    m_outcome = outcome;

    // A request given up while out may still be answered, unless it never went out; a controller
    // that has gone answers nothing more.
    if (outcome == EXCHANGE_CONTROLLER_GONE)
        m_owedTarget = -1;
    else if (!m_writeFailed && (outcome == EXCHANGE_TIMED_OUT || outcome == EXCHANGE_GIVEN_UP))
        m_owedTarget = m_target;

    Ending ending;
    ending.outcome = outcome;

    if (m_delivery == DELIVERY_WORKER)
    {
        ending.wakeWorker = true;
        return ending;
    }

    // Every end of the abort's request comes on the message thread.
    m_deadline.stopTimer();
    ending.onEnd = std::exchange (m_onEnd, nullptr);
    return ending;
}

void OutstandingRequest::tell (Ending ending)
{
    if (ending.wakeWorker)
        m_responseEvent.signal();

    if (ending.onEnd != nullptr)
        ending.onEnd (ending.outcome);
}

void OutstandingRequest::takeAnswer (const uint8_t* answer)
{
    Ending ending;
    {
        const std::lock_guard<std::mutex> lock (m_lock);

        if (answer[Report::target] == m_owedTarget)
        {
            m_owedTarget = -1;
            return;
        }

        // A report that did not go out has no answer of its own.
        if (!isOut() || m_writeFailed || (m_filter != nullptr && !m_filter (answer)))
            return;

        std::memcpy (m_answer, answer, sizeof (m_answer));
        ending = end (EXCHANGE_ANSWERED);
    }

    tell (std::move (ending));
}

void OutstandingRequest::controllerGone()
{
    Ending ending;
    {
        const std::lock_guard<std::mutex> lock (m_lock);
        m_owedTarget = -1;

        if (!isOut())
            return;

        ending = end (EXCHANGE_CONTROLLER_GONE);
    }

    tell (std::move (ending));
}

void OutstandingRequest::writeFailed (int errorNumber)
{
    Ending ending;
    {
        const std::lock_guard<std::mutex> lock (m_lock);

        // Given up before its write failed: it never went out, so no answer is owed to it.
        if (!isOut())
        {
            m_owedTarget = -1;
            return;
        }

        m_writeFailed = true;

        if (errorNumber == ENODEV)
        {
            ending = end (EXCHANGE_CONTROLLER_GONE);
        }
        else if (m_delivery == DELIVERY_CALLBACK)
        {
            ending = end (EXCHANGE_NOT_SENT);
        }
        else
        {
            // The link's removal decides; the worker that wrote waits for it, no longer.
            m_deadlineMs = std::min (m_deadlineMs, juce::Time::getMillisecondCounterHiRes() + m_graceMs);
            return;
        }
    }

    tell (std::move (ending));
}

void OutstandingRequest::sentWithoutAnswer()
{
    const std::lock_guard<std::mutex> lock (m_lock);
    m_delivery = DELIVERY_NONE;
}

void OutstandingRequest::giveUpWorkerRequests()
{
    Ending ending;
    {
        const std::lock_guard<std::mutex> lock (m_lock);
        m_workerGivenUp = true;

        if (isOut() && m_delivery == DELIVERY_WORKER)
            ending = end (EXCHANGE_GIVEN_UP);
    }

    tell (std::move (ending));
}

ExchangeOutcome_t OutstandingRequest::waitForEnd (uint8_t* answer)
{
    for (;;)
    {
        double remainingMs = 0.0;
        {
            const std::lock_guard<std::mutex> lock (m_lock);
            jassert (m_delivery == DELIVERY_WORKER);

            if (m_outcome == EXCHANGE_PENDING)
            {
                remainingMs = m_deadlineMs - juce::Time::getMillisecondCounterHiRes();
                if (remainingMs <= 0.0)
                    end (m_writeFailed ? EXCHANGE_NOT_SENT : EXCHANGE_TIMED_OUT);  // nobody to wake
            }

            if (m_outcome != EXCHANGE_PENDING)
            {
                if (m_outcome == EXCHANGE_ANSWERED)
                    std::memcpy (answer, m_answer, sizeof (m_answer));
                return m_outcome;
            }
        }

        // Every end signals the event after it is written, so a wake-up is never missed; a signal
        // left from an earlier request only makes the loop look again.
        m_responseEvent.wait (static_cast<int> (std::ceil (remainingMs)));
    }
}

bool OutstandingRequest::isAwaitedByCallback() const
{
    const std::lock_guard<std::mutex> lock (m_lock);
    return isOut() && m_delivery == DELIVERY_CALLBACK;
}

void OutstandingRequest::Deadline::timerCallback()
{
    Ending ending;
    {
        const std::lock_guard<std::mutex> lock (m_owner.m_lock);
        stopTimer();

        if (!m_owner.isOut() || m_owner.m_delivery != DELIVERY_CALLBACK)
            return;

        ending = m_owner.end (EXCHANGE_TIMED_OUT);
    }

    m_owner.tell (std::move (ending));
}

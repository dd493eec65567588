#pragma once

#include "update/Protocol.h"

#include <juce_events/juce_events.h>

#include <cstdint>
#include <functional>
#include <mutex>

/** How one exchange with the controller ended. */
enum ExchangeOutcome_t : int32_t
{
    EXCHANGE_PENDING = 0,      // not ended yet
    EXCHANGE_ANSWERED,         // an answer came
    EXCHANGE_TIMED_OUT,        // no answer in time
    EXCHANGE_CONTROLLER_GONE,  // the controller has gone: the report did not go out, or no answer can come
    EXCHANGE_NOT_SENT,         // the report did not go out, and the controller stayed
    EXCHANGE_GIVEN_UP          // the worker is stopping
};

/** The one request that is out to the controller at a time, from just before its report is
    written until it ends in exactly one outcome. Whatever comes first ends it: its answer, the
    controller's removal, a failed write, its time-out, or the worker's stop; what comes later
    changes nothing.

    Two kinds of request: the worker's, whose end the worker waits for (waitForEnd, woken through
    the event it is given), and the abort's, sent and awaited on the message thread, whose end is
    told to a callback there. Answers, removals and the abort's time-out arrive on the message
    thread; the worker's own failed write and time-out on the worker's. */
class OutstandingRequest
{
public:
    /** Whether an answer (reportSize bytes) can be the request's own. */
    using AnswerFilter = bool (*) (const uint8_t* answer);
    using EndCallback = std::function<void (ExchangeOutcome_t)>;

    /** Each request waits at most timeoutMs for its answer, and at most graceMs for the
        controller's removal once its report could not be written; the worker is woken through
        responseEvent, which must outlive this object. */
    OutstandingRequest (juce::WaitableEvent& responseEvent, int timeoutMs, int graceMs);
    ~OutstandingRequest();

    /** The worker's request, just before its report is written. False, opening nothing, once the
        worker's requests have been given up. Worker thread. */
    bool openForWorker (const uint8_t* request);

    /** The abort's request, just before its report is written: its end is told to onEnd, once,
        on the message thread, at the latest when the time-out has passed. Only answers that pass
        the filter can end it. Message thread, with no request outstanding. */
    void openWithCallback (const uint8_t* request, AnswerFilter filter, EndCallback onEnd);

    /** An answer, the whole 64 bytes as the engine keeps them: it ends the request that is out,
        unless it is the late answer to a request given up before. Message thread. */
    void takeAnswer (const uint8_t* answer);

    /** The controller has gone: no answer can come. Message thread. */
    void controllerGone();

    /** The report could not be written, for the reason in errorNumber. ENODEV means that the
        controller has gone, and ends the request at once. Any other errno proves nothing by
        itself: a controller being pulled out fails the write a moment before the link learns of
        its removal. The worker's request then stays out, no answer can end it, and it ends as
        gone on the removal (controllerGone) or as not sent once graceMs have passed; the abort's
        ends as not sent at once. On the thread that wrote. */
    void writeFailed (int errorNumber);

    /** The report went out and no answer is awaited: nothing is out any more. Worker thread. */
    void sentWithoutAnswer();

    /** The worker is stopping: its request ends as given up, and so does every later one at
        once. Any thread. */
    void giveUpWorkerRequests();

    /** Blocks until the worker's request has ended, or ends it as timed out at its deadline.
        Copies the answer into answer (reportSize bytes) when there is one. Worker thread. */
    ExchangeOutcome_t waitForEnd (uint8_t* answer);

    /** Whether the abort's request is out. Message thread. */
    bool isAwaitedByCallback() const;

private:
    enum Delivery_t
    {
        DELIVERY_NONE,     // nothing is out
        DELIVERY_WORKER,   // the worker waits for the end
        DELIVERY_CALLBACK  // the end goes to m_onEnd
    };

    /** Who is to hear of an end, once m_lock is let go: a woken thread that finds it still
        held would only go to sleep again. */
    struct Ending
    {
        bool wakeWorker = false;
        EndCallback onEnd;
        ExchangeOutcome_t outcome = EXCHANGE_PENDING;
    };

    /** Whether a request is out and has not ended. Called with m_lock held. */
    bool isOut() const { return m_delivery != DELIVERY_NONE && m_outcome == EXCHANGE_PENDING; }
    void open (const uint8_t* request, Delivery_t delivery);
    /** Ends the request that is out. Called with m_lock held; tell() the result afterwards. */
    Ending end (ExchangeOutcome_t outcome);
    /** Wakes the worker, or calls the abort's callback. Without m_lock. */
    void tell (Ending ending);

    juce::WaitableEvent& m_responseEvent;
    const int m_timeoutMs;
    const int m_graceMs;

    mutable std::mutex m_lock;
    Delivery_t m_delivery = DELIVERY_NONE;
    uint8_t m_target = 0;
    double m_deadlineMs = 0.0;
    AnswerFilter m_filter = nullptr;
    EndCallback m_onEnd;
    ExchangeOutcome_t m_outcome = EXCHANGE_PENDING;
    /** The request's report could not be written: it waits only for the removal. */
    bool m_writeFailed = false;
    uint8_t m_answer[reportSize] = {};
    /** The target of a request that went out and was given up unanswered: its answer may still
        come, and is not the next request's. -1 when none is owed. */
    int m_owedTarget = -1;
    bool m_workerGivenUp = false;

    /** Ends the abort's wait when its time has run out. Message thread. */
    class Deadline : public juce::Timer
    {
    public:
        explicit Deadline (OutstandingRequest& owner)
            : m_owner (owner)
        {
        }
        void timerCallback() override;

    private:
        OutstandingRequest& m_owner;
    };
    Deadline m_deadline{ *this };

    JUCE_DECLARE_NON_COPYABLE (OutstandingRequest)
};

// A whole update of a 2 MiB file against the simulated controller, through the real engine,
// controller link and message loop:
//   (a) with instant answers: exchanges per second, and the CPU time the worker and the message
//       thread spend per exchange;
//   (b) with answers 1 ms after each request, the round trip of a full-speed USB HID device:
//       the total time against the protocol's floor (exchanges x 1 ms + status polls x 100 ms).
// For both, the program's turnaround: from an answer being readable to the next request having
// arrived, within the blocks' data (the other exchanges begin after one of the worker's pauses).
// It also counts the memory allocations made on the worker and message threads per exchange.
// A run that does not reach the version screen, or whose update stops moving, is said on standard
// error with the state it was in, and the benchmark ends with status 1.
#include "support/MessageLoop.h"
#include "support/SimulatedController.h"
#include "support/SimulatedHid.h"
#include "support/TemporaryFolder.h"
#include "support/TestEngine.h"
#include "support/UpdateFileBuilder.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <pthread.h>
#include <time.h>

namespace
{
std::atomic<long> workerAllocations{ 0 }, messageAllocations{ 0 };
thread_local std::atomic<long>* allocationCounter = nullptr;

double threadCpuSeconds (pthread_t thread)
{
    clockid_t clock;
    timespec ts{};
    if (pthread_getcpuclockid (thread, &clock) != 0 || clock_gettime (clock, &ts) != 0)
        return 0.0;
    return static_cast<double> (ts.tv_sec) + static_cast<double> (ts.tv_nsec) * 1e-9;
}

/** Counts the allocations of the worker thread from inside it. */
class CountingEngine : public qvxtest::TestEngine
{
public:
    using TestEngine::TestEngine;

    void run() override
    {
        allocationCounter = &workerAllocations;
        m_workerThread = pthread_self();
        m_workerStarted = true;
        TestEngine::run();
        m_workerCpuAtEnd = threadCpuSeconds (pthread_self());

        // The message loop looks at its condition only after an event: one that comes once the
        // end is known.
        m_workerEnded = true;
        juce::MessageManager::callAsync ([] {});
    }

    std::atomic<bool> m_workerStarted{ false };
    std::atomic<bool> m_workerEnded{ false };
    pthread_t m_workerThread{};
    std::atomic<double> m_workerCpuAtEnd{ 0.0 };
};

/** The device checks are two exchanges of up to 10 s each, after which the engine gives up by
    itself; this leaves a loaded machine room on top. */
constexpr int versionScreenBoundSeconds = 60;
/** Every exchange of the update ends within 10 s, answered or not, and moves the state or the
    progress: this long with neither moving is a hang. */
constexpr int stallBoundSeconds = 60;
/** The whole update, about 35 s with 1 ms answers: room for a machine many times slower. */
constexpr int updateBoundMinutes = 30;

/** Wakes the blocked message loop once a second and tells when the update has stalled or run out
    of time. A timer adds no event per exchange, so the figures stay those of the program's own
    loop. */
class UpdateWatch : private juce::Timer
{
public:
    enum Bound
    {
        NONE,
        STALLED,
        TOO_LONG
    };

    /** Make it before anything is counted: its first timer makes JUCE's timer thread. */
    explicit UpdateWatch (const UpdateEngine& engine)
        : m_engine (engine)
    {
        begin();
        startTimer (1000);
    }

    ~UpdateWatch() override { stopTimer(); }

    /** The update starts now. */
    void begin()
    {
        m_start = m_lastMove = juce::Time::getMillisecondCounterHiRes();
        m_lastState = m_engine.m_state.load();
        m_lastProgress = m_engine.m_progress.load();
    }

    /** Message thread. */
    Bound boundHit() const { return m_boundHit; }

private:
    void timerCallback() override
    {
        const auto now = juce::Time::getMillisecondCounterHiRes();
        const auto state = m_engine.m_state.load();
        const auto progress = m_engine.m_progress.load();

        if (state != m_lastState || progress != m_lastProgress)
        {
            m_lastState = state;
            m_lastProgress = progress;
            m_lastMove = now;
        }

        if (now - m_lastMove >= stallBoundSeconds * 1000.0)
            m_boundHit = STALLED;
        else if (now - m_start >= updateBoundMinutes * 60000.0)
            m_boundHit = TOO_LONG;
    }

    const UpdateEngine& m_engine;
    double m_start = 0, m_lastMove = 0;
    int32_t m_lastState = STATE_INIT;
    double m_lastProgress = 0;
    Bound m_boundHit = NONE;
};

struct Result
{
    double seconds = 0;
    size_t exchanges = 0;
    size_t polls = 0;
    double workerCpu = 0, messageCpu = 0;
    long workerAllocs = 0, messageAllocs = 0;
    /** From an answer being readable to the next request's arrival, within the blocks' data, in
        microseconds. */
    double turnaroundP50 = 0, turnaroundP99 = 0, turnaroundMax = 0;
    bool complete = false;
    /** False when the update never began or never ended: nothing else here is to be read. */
    bool ended = false;
};

bool isBlockData (uint8_t command)
{
    return command == CMD_DATA || command == CMD_DATA_SIZE;
}

void measureTurnarounds (const std::vector<qvxtest::SimulatedController::Exchange>& exchanges, Result& r)
{
    // An answer delayed on purpose is readable only once its delay is over: that is when it was
    // sent, which is what `answered` holds.
    std::vector<double> turnarounds;
    for (size_t i = 1; i < exchanges.size(); ++i)
        if (isBlockData (exchanges[i - 1].command) && isBlockData (exchanges[i].command) &&
            exchanges[i - 1].answered > 0.0)
            turnarounds.push_back ((exchanges[i].received - exchanges[i - 1].answered) * 1000.0);

    if (turnarounds.empty())
        return;

    std::sort (turnarounds.begin(), turnarounds.end());
    const auto at = [&] (double fraction)
    { return turnarounds[static_cast<size_t> (fraction * static_cast<double> (turnarounds.size() - 1))]; };
    r.turnaroundP50 = at (0.5);
    r.turnaroundP99 = at (0.99);
    r.turnaroundMax = turnarounds.back();
}

Result runUpdate (const char* name, int answerDelayUs)
{
    qvxtest::TemporaryFolder folder;
    qvxtest::UpdateFileBuilder()
        .distinctImagePatterns()
        .firmwareVersion ({ 0x20, 0x20, 0x02, 0x02 })
        .writeTo (folder.get());

    qvxtest::SimulatedController controller;
    controller.model.setFirmwareVersion ({ 0x20, 0x19, 0x01, 0x01 });
    controller.setAnswerDelayMicroseconds (answerDelayUs);
    controller.attach();

    CountingEngine component ({ folder.get(), qvxtest::SimulatedHid::backend() });
    component.CheckUpdFile();
    component.startWorker();
    // A worker that ended in the device checks failed them.
    const auto checksEnded = qvxtest::pumpUntil (
        [&] { return component.m_state.load() == STATE_READY || component.m_workerEnded.load(); },
        versionScreenBoundSeconds * 1000);

    if (const auto state = component.m_state.load(); state != STATE_READY)
    {
        if (checksEnded)
            std::fprintf (stderr, "%s: the device checks ended in state 0x%04X, not on the version screen\n",
                          name, static_cast<unsigned> (state));
        else
            std::fprintf (stderr, "%s: the version screen was not reached within %d s: state 0x%04X\n", name,
                          versionScreenBoundSeconds, static_cast<unsigned> (state));
        return {};
    }

    UpdateWatch watch (component);

    const auto before = controller.model.received().size();
    const auto messageCpuBefore = threadCpuSeconds (pthread_self());
    const auto workerCpuBefore = threadCpuSeconds (component.m_workerThread);
    workerAllocations = 0;
    messageAllocations = 0;
    allocationCounter = &messageAllocations;

    const auto start = juce::Time::getMillisecondCounterHiRes();
    watch.begin();
    component.m_state.start();
    qvxtest::runMessageLoopUntil (
        [&] { return component.m_workerEnded.load() || watch.boundHit() != UpdateWatch::NONE; });
    const auto end = juce::Time::getMillisecondCounterHiRes();

    if (!component.m_workerEnded.load())
    {
        allocationCounter = nullptr;
        const auto state = static_cast<unsigned> (component.m_state.load());

        if (watch.boundHit() == UpdateWatch::STALLED)
            std::fprintf (
                stderr,
                "%s: the update stalled: neither its state nor its progress moved for %d s: state 0x%04X\n",
                name, stallBoundSeconds, state);
        else
            std::fprintf (stderr, "%s: the update did not end within %d min: state 0x%04X\n", name,
                          updateBoundMinutes, state);
        return {};
    }

    component.stopWorker();

    allocationCounter = nullptr;

    Result r;
    r.ended = true;
    r.seconds = (end - start) / 1000.0;
    // The completion report is no exchange, and may reach the controller after the worker's end.
    const auto received = controller.model.received();
    r.exchanges = static_cast<size_t> (std::count_if (
        received.begin() + static_cast<std::ptrdiff_t> (before), received.end(),
        [] (const qvxtest::ReportBytes& request) { return request[Report::command] != CMD_COMPLETE; }));
    r.polls = controller.model.receivedWithCommand (CMD_GET_STATUS).size();
    r.messageCpu = threadCpuSeconds (pthread_self()) - messageCpuBefore;
    r.workerCpu = component.m_workerCpuAtEnd.load() - workerCpuBefore;
    r.workerAllocs = workerAllocations.load();
    r.messageAllocs = messageAllocations.load();
    r.complete = component.m_state.load() == STATE_COMPLETE;
    measureTurnarounds (controller.exchanges(), r);
    return r;
}
}  // namespace

void* operator new (std::size_t size)
{
    if (auto* counter = allocationCounter)
        counter->fetch_add (1, std::memory_order_relaxed);

    if (auto* p = std::malloc (size == 0 ? 1 : size))
        return p;

    throw std::bad_alloc();
}

void operator delete (void* p) noexcept
{
    std::free (p);
}
void operator delete (void* p, std::size_t) noexcept
{
    std::free (p);
}

static void printTurnaround (const Result& r)
{
    std::printf ("    turnaround from answer to next request: p50 %.1f us, p99 %.1f us, max %.1f us\n",
                 r.turnaroundP50, r.turnaroundP99, r.turnaroundMax);
}

int main()
{
    juce::ScopedJuceInitialiser_GUI juceInitialiser;

    const auto instant = runUpdate ("(a)", 0);

    if (!instant.ended)
        return 1;

    std::printf ("(a) instant answers: %s, %zu exchanges in %.2f s (%zu polls at 100 ms)\n",
                 instant.complete ? "complete" : "FAILED", instant.exchanges, instant.seconds, instant.polls);
    const auto transferSeconds = instant.seconds - static_cast<double> (instant.polls) * 0.1;
    std::printf ("    %.0f exchanges per second outside the polling pauses (goal: 20000)\n",
                 static_cast<double> (instant.exchanges) / transferSeconds);
    std::printf ("    CPU per exchange: worker %.2f us, message thread %.2f us\n",
                 instant.workerCpu * 1e6 / static_cast<double> (instant.exchanges),
                 instant.messageCpu * 1e6 / static_cast<double> (instant.exchanges));
    std::printf ("    allocations per exchange: worker %.4f, message thread %.4f\n",
                 static_cast<double> (instant.workerAllocs) / static_cast<double> (instant.exchanges),
                 static_cast<double> (instant.messageAllocs) / static_cast<double> (instant.exchanges));
    printTurnaround (instant);

    const auto delayed = runUpdate ("(b)", 1000);

    if (!delayed.ended)
        return 1;

    const auto floor =
        static_cast<double> (delayed.exchanges) * 0.001 + static_cast<double> (delayed.polls) * 0.1;
    std::printf (
        "(b) answers after 1 ms: %s, %zu exchanges in %.2f s; floor %.2f s; %.2f %% over (goal: 2 %%)\n",
        delayed.complete ? "complete" : "FAILED", delayed.exchanges, delayed.seconds, floor,
        (delayed.seconds / floor - 1.0) * 100.0);
    printTurnaround (delayed);

    return instant.complete && delayed.complete ? 0 : 1;
}

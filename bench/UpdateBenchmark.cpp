// A whole update of a 2 MiB file against the simulated controller, through the real engine,
// controller link and message loop:
//   (a) with instant answers: exchanges per second, and the CPU time the worker and the message
//       thread spend per exchange;
//   (b) with answers 1 ms after each request, the round trip of a full-speed USB HID device:
//       the total time against the protocol's floor (exchanges x 1 ms + status polls x 100 ms).
// It also counts the memory allocations made on the worker and message threads per exchange.
#include "support/MessageLoop.h"
#include "support/SimulatedController.h"
#include "support/SimulatedHid.h"
#include "support/TemporaryFolder.h"
#include "support/TestEngine.h"
#include "support/UpdateFileBuilder.h"

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
    }

    std::atomic<bool> m_workerStarted{ false };
    pthread_t m_workerThread{};
    std::atomic<double> m_workerCpuAtEnd{ 0.0 };
};

struct Result
{
    double seconds = 0;
    size_t exchanges = 0;
    size_t polls = 0;
    double workerCpu = 0, messageCpu = 0;
    long workerAllocs = 0, messageAllocs = 0;
    bool complete = false;
};

Result runUpdate (int answerDelayUs)
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

    EngineSettings settings;
    settings.updateFolder = folder.get();
    settings.hidBackend = qvxtest::SimulatedHid::backend();
    CountingEngine component (settings);
    component.CheckUpdFile();
    component.startWorker();
    qvxtest::pumpUntil ([&] { return component.m_state.load() == STATE_READY; }, 10000);

    const auto before = controller.model.received().size();
    const auto messageCpuBefore = threadCpuSeconds (pthread_self());
    const auto workerCpuBefore = threadCpuSeconds (component.m_workerThread);
    workerAllocations = 0;
    messageAllocations = 0;
    allocationCounter = &messageAllocations;

    const auto start = juce::Time::getMillisecondCounterHiRes();
    component.m_state.start();
    qvxtest::runMessageLoopUntil ([&] { return !component.isThreadRunning(); });
    const auto end = juce::Time::getMillisecondCounterHiRes();

    allocationCounter = nullptr;

    Result r;
    r.seconds = (end - start) / 1000.0;
    r.exchanges = controller.model.received().size() - before - 1;  // CMD_COMPLETE is no exchange
    r.polls = controller.model.receivedWithCommand (CMD_GET_STATUS).size();
    r.messageCpu = threadCpuSeconds (pthread_self()) - messageCpuBefore;
    r.workerCpu = component.m_workerCpuAtEnd.load() - workerCpuBefore;
    r.workerAllocs = workerAllocations.load();
    r.messageAllocs = messageAllocations.load();
    r.complete = component.m_state.load() == STATE_COMPLETE;
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

int main()
{
    juce::ScopedJuceInitialiser_GUI juceInitialiser;

    const auto instant = runUpdate (0);
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

    const auto delayed = runUpdate (1000);
    const auto floor =
        static_cast<double> (delayed.exchanges) * 0.001 + static_cast<double> (delayed.polls) * 0.1;
    std::printf (
        "(b) answers after 1 ms: %s, %zu exchanges in %.2f s; floor %.2f s; %.2f %% over (goal: 2 %%)\n",
        delayed.complete ? "complete" : "FAILED", delayed.exchanges, delayed.seconds, floor,
        (delayed.seconds / floor - 1.0) * 100.0);

    return instant.complete && delayed.complete ? 0 : 1;
}

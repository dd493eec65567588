#include "support/MessageLoop.h"

#include <chrono>
#include <thread>

namespace juce
{
// JUCE's own dispatcher, the one its message loop runs: one batch of pending events (fd
// callbacks, posted messages), or false at once when there is none.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
}  // namespace juce

namespace qvxtest
{

namespace
{
void dispatchOrNap()
{
    // runDispatchLoopUntil sleeps a whole millisecond whenever the queue is empty, which would
    // make every exchange with the simulated controller last a millisecond.
    if (!juce::dispatchNextMessageOnSystemQueue (true))
        std::this_thread::sleep_for (std::chrono::microseconds (50));
}
}  // namespace

bool pumpUntil (const std::function<bool()>& condition, int timeoutMs)
{
    const auto deadline = juce::Time::getMillisecondCounterHiRes() + timeoutMs;

    while (!condition())
    {
        if (juce::Time::getMillisecondCounterHiRes() >= deadline)
            return condition();

        dispatchOrNap();
    }

    return true;
}

void pumpFor (int milliseconds)
{
    const auto deadline = juce::Time::getMillisecondCounterHiRes() + milliseconds;

    while (juce::Time::getMillisecondCounterHiRes() < deadline)
        dispatchOrNap();
}

void runMessageLoopUntil (const std::function<bool()>& condition)
{
    while (!condition())
        juce::dispatchNextMessageOnSystemQueue (false);
}

}  // namespace qvxtest

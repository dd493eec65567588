#include "support/MessageLoop.h"

namespace qvxtest
{

bool pumpUntil (const std::function<bool()>& condition, int timeoutMs)
{
    const auto deadline = juce::Time::getMillisecondCounterHiRes() + timeoutMs;

    while (!condition())
    {
        if (juce::Time::getMillisecondCounterHiRes() >= deadline)
            return condition();

        juce::MessageManager::getInstance()->runDispatchLoopUntil (1);
    }

    return true;
}

void pumpFor (int milliseconds)
{
    const auto deadline = juce::Time::getMillisecondCounterHiRes() + milliseconds;

    while (juce::Time::getMillisecondCounterHiRes() < deadline)
        juce::MessageManager::getInstance()->runDispatchLoopUntil (1);
}

}  // namespace qvxtest

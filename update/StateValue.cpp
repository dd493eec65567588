#include "ui/MainComponent.h"

bool MainComponent::SetStateUnlessRemoved (int32_t newState)
{
    // A worker stopped from outside (a quit, the window's end) leaves the state as the user last
    // saw it: what it finds on waking is the stop, not an answer, and no failure of the update.
    // The worker tells itself to stop only after its own last write.
    if (juce::Thread::getCurrentThread() == this && threadShouldExit())
        return false;

    // A compare-and-swap, so that a removal written by the message thread between our read
    // and our write is never overwritten.
    auto current = m_state.load();

    do
    {
        if (current == ERR_REMOVED)
            return false;
    } while (!m_state.compare_exchange_weak (current, newState));

    return true;
}

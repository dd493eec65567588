#include "ui/MainComponent.h"

bool MainComponent::SetStateUnlessRemoved (int32_t newState)
{
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

#include "update/UpdateState.h"

bool UpdateStateValue::advance (int32_t from, int32_t to)
{
    const std::lock_guard<std::mutex> lock (m_writeLock);

    if (!writable (from))
        return false;

    m_value = to;
    return true;
}

bool UpdateStateValue::fail (int32_t error)
{
    const std::lock_guard<std::mutex> lock (m_writeLock);

    if (m_stopped || m_value.load() == ERR_REMOVED)
        return false;

    m_value = error;
    return true;
}

bool UpdateStateValue::remove()
{
    const std::lock_guard<std::mutex> lock (m_writeLock);

    if (m_stopped || !UpdState::isUpdating (m_value.load()))
        return false;

    m_value = ERR_REMOVED;
    return true;
}

bool UpdateStateValue::completeAfter (int32_t from, const std::function<bool()>& send)
{
    // Held across the send: the controller may restart, and so leave, as soon as it has the
    // report, and that removal must not turn a finished update into an error.
    const std::lock_guard<std::mutex> lock (m_writeLock);

    if (!writable (from) || !send())
        return false;

    m_value = STATE_COMPLETE;
    return true;
}

void UpdateStateValue::stopWriting()
{
    const std::lock_guard<std::mutex> lock (m_writeLock);
    m_stopped = true;
}

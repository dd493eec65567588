#include "update/UpdateEngine.h"

#include "hid/HidCtrl.h"
#include "hid/HidUtil.h"

UpdateEngine::UpdateEngine (EngineSettings settings)
    : juce::Thread ("UpdatingThread")
    , m_updateFolder (settings.updateFolder)
    , m_responseTimeoutMs (settings.responseTimeoutMs)
{
    // The link looks for the controller at once and then follows its arrival and removal; whether
    // one is there is read when the update is to start.
    m_pHidCtrl = new HidCtrl (std::move (settings.hidBackend));
    m_pHidCtrl->initialize (this, DEVICE_TYPE_QVX720);

    m_oldOS = isMacOSX106OrOlder (juce::SystemStats::getOperatingSystemType());
}

UpdateEngine::~UpdateEngine()
{
    // The worker uses the link, the event and the members: it goes first.
    if (isThreadRunning())
        stopWorker();

    m_cancelTimeout.stopTimer();

    m_pHidCtrl->finalize();
    delete m_pHidCtrl;
    m_pHidCtrl = nullptr;
}

bool UpdateEngine::isMacOSX106OrOlder (int operatingSystemType)
{
    // JUCE reports Mac OS X 10.n as MacOSX | n, and a macOS it does not know yet as plain MacOSX.
    const auto family = operatingSystemType & 0xFF00;
    const auto minor = operatingSystemType & 0xFF;
    return family == juce::SystemStats::MacOSX && minor >= 1 && minor <= 6;
}

void UpdateEngine::startWorker()
{
    m_responseEvent.reset();
    startThread();
}

void UpdateEngine::stopWorker()
{
    // Told before it is woken: a worker that wakes in an exchange then knows the wake for the
    // stop, not for an answer, sends nothing more and writes no error of its own.
    signalThreadShouldExit();
    m_responseEvent.signal();

    if (isThreadRunning())
        stopThread (workerStopTimeoutMs);
}

void UpdateEngine::askForRedraw()
{
    const juce::ScopedLock lock (m_drawLock);
    requestRedraw();
}

bool UpdateEngine::SetStateUnlessRemoved (int32_t newState)
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

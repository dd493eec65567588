#include "update/UpdateEngine.h"

#include "hid/HidCtrl.h"
#include "hid/HidUtil.h"

UpdateEngine::UpdateEngine (EngineSettings settings, std::function<void()> requestRedraw)
    : juce::Thread ("UpdatingThread")
    , m_updateFolder (settings.updateFolder)
    , m_requestRedraw (std::move (requestRedraw))
    , m_request (m_responseEvent, settings.responseTimeoutMs, removalGraceMs)
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
    stopWorker();
    jassert (!isThreadRunning());

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
    // In this order: the state keeps what the user last saw, the worker knows the stop for what it
    // is, and only then is its exchange ended.
    m_state.stopWriting();
    signalThreadShouldExit();
    m_request.giveUpWorkerRequests();

    if (isThreadRunning())
        stopThread (workerStopTimeoutMs);
}

void UpdateEngine::askForRedraw()
{
    const juce::ScopedLock lock (m_drawLock);
    m_requestRedraw();
}

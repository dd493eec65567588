#include "ui/MainComponent.h"

#include "hid/HidCtrl.h"

#include <cstring>

MainComponent::MainComponent()
    : juce::Thread ("UpdatingThread")
{
    // The link looks for the controller at once and then follows its arrival and removal; whether
    // one is there is read when OK is pressed.
    m_pHidCtrl = new HidCtrl();
    m_pHidCtrl->initialize (this, 1);

    m_oldOS = isMacOSX106OrOlder (juce::SystemStats::getOperatingSystemType());
}

MainComponent::~MainComponent()
{
    // The worker uses the link, the event and the members: it goes first.
    if (isThreadRunning())
    {
        {
            const juce::ScopedLock lock (m_responseLock);
            std::memset (m_response, 0, sizeof (m_response));
        }

        m_responseEvent.signal();
        stopThread (5000);
    }

    m_pHidCtrl->finalize();
    delete m_pHidCtrl;
    m_pHidCtrl = nullptr;

    cancelPendingUpdate();
}

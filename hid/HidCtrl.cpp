#include "hid/HidCtrl.h"

#include "hid/HidUtil.h"

#include <cstring>

HidCtrl::HidCtrl() = default;

HidCtrl::~HidCtrl()
{
    finalize();
}

int HidCtrl::initialize (HidHandler* pHandler, int deviceType)
{
    m_pHandler = pHandler;
    m_pHidUtil = new HidUtil();
    m_connected = 0;
    std::memset (m_recvBuffer, 0, sizeof (m_recvBuffer));

    if (!m_pHidUtil->initialize (this, deviceType))
    {
        // Another link is live; the refused utility object leaves it untouched.
        m_pHandler = nullptr;
        m_pHidUtil->finalize();
        delete m_pHidUtil;
        m_pHidUtil = nullptr;
        m_connected = 0;
        return 0;
    }

    m_connected = m_pHidUtil->deviceMatching() ? 1 : 0;
    if (m_connected == 1)
        m_version = static_cast<int32_t> (m_pHidUtil->deviceVersion());
    return m_connected;
}

bool HidCtrl::sendData (unsigned char* pData, unsigned long length)
{
    if (m_connected == 0 || m_pHidUtil == nullptr)
        return false;

    return m_pHidUtil->deviceOutput (pData, length);
}

void HidCtrl::finalize()
{
    m_pHandler = nullptr;
    if (m_pHidUtil != nullptr)
    {
        m_pHidUtil->finalize();
        delete m_pHidUtil;
        m_pHidUtil = nullptr;
    }
}

void HidCtrl::removalCallBack()
{
    m_connected = 0;
    m_version = 0;
    std::memset (m_recvBuffer, 0, sizeof (m_recvBuffer));
    m_recvLength = 0;

    if (m_pHandler != nullptr)
        m_pHandler->removalCallBack();
}

void HidCtrl::matchingCallBack()
{
    m_connected = 1;
    m_version = static_cast<int32_t> (m_pHidUtil->deviceVersion());
    m_recvLength = m_pHidUtil->deviceInput (m_recvBuffer, sizeof (m_recvBuffer), 0);

    if (m_pHandler != nullptr)
        m_pHandler->matchingCallBack();
}

void HidCtrl::inputCallBack (int)
{
    unsigned char report[64];
    const unsigned long copied = m_pHidUtil->deviceInput (report, sizeof (report), 0);
    if (copied == 0)
        return;

    std::memcpy (m_recvBuffer, report, copied);
    m_recvLength = copied;

    if (m_pHandler != nullptr)
        m_pHandler->inputCallBack (0);
}

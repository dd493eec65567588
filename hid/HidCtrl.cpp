#include "hid/HidCtrl.h"

#include "hid/HidUtil.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

HidCtrl::HidCtrl (platform::HidBackendFactory hidBackend)
    : m_hidBackend (std::move (hidBackend))
{
}

HidCtrl::~HidCtrl()
{
    finalize();
}

int HidCtrl::initialize (HidHandler* pHandler, int deviceType)
{
    m_pHandler = pHandler;
    m_pHidUtil = new HidUtil (m_hidBackend);
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
    {
        errno = ENODEV;
        return false;
    }

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

void HidCtrl::inputReportCallBack (const uint8_t* report, size_t length)
{
    const auto count = std::min (length, sizeof (m_recvBuffer));
    std::memcpy (m_recvBuffer, report, count);
    m_recvLength = count;

    if (m_pHandler != nullptr)
        m_pHandler->inputReportCallBack (m_recvBuffer, count);
}

void HidCtrl::inputCallBack (int)
{
    if (m_pHandler != nullptr)
        m_pHandler->inputCallBack (0);
}

#include "ui/MainComponent.h"

#include "update/UpdateFileFormat.h"

namespace
{
bool isValidFirmwareVersion (const uint8_t* bytes)
{
    for (int i = 0; i < 4; ++i)
        if (bytes[i] > UpdFileFormat::firmwareVersionBounds[i])
            return false;

    return true;
}

int32_t errorOfCheckModeReason (uint8_t reason)
{
    switch (reason)
    {
        case 1:
            return ERR_DEVICE_REASON1;
        case 2:
            return ERR_DEVICE_REASON2;
        case 3:
            return ERR_DEVICE_REASON3;
        case 4:
            return ERR_DEVICE_REASON4;
        default:
            return ERR_GENERAL;
    }
}
}  // namespace

bool MainComponent::CheckDeviceMode()
{
    prepareRequest (TARGET_DEVICE, CMD_CHECK_MODE);

    if (!SendDataAndWaitResponse())
    {
        SetStateUnlessRemoved (ERR_TIMEOUT);
        return false;
    }

    // An answer that did not echo our request is not the controller's consent.
    if (UpdState::isError (m_state.load()))
        return false;

    switch (m_answer[Report::answer])
    {
        case ANS_ERROR:
            SetStateUnlessRemoved (errorOfCheckModeReason (m_answer[Report::reason]));
            return false;

        case ANS_OK:
            return m_fileReady == 8 ? CheckDeviceVersion() : true;

        default:
            SetStateUnlessRemoved (ERR_GENERAL);
            return false;
    }
}

bool MainComponent::CheckDeviceVersion()
{
    prepareRequest (TARGET_DEVICE, CMD_GET_VERSION);

    if (!SendDataAndWaitResponse())
    {
        SetStateUnlessRemoved (ERR_TIMEOUT);
        return false;
    }

    if (UpdState::isError (m_state.load()))
        return false;

    if (m_answer[Report::answer] != ANS_VERSION)
    {
        SetStateUnlessRemoved (ERR_GENERAL);
        return false;
    }

    const auto* version = m_answer + Report::firmwareVersion;
    m_deviceVer = (static_cast<uint32_t> (version[0]) << 24) | (static_cast<uint32_t> (version[1]) << 16) |
                  (static_cast<uint32_t> (version[2]) << 8) | static_cast<uint32_t> (version[3]);

    if (!isValidFirmwareVersion (version))
    {
        SetStateUnlessRemoved (ERR_DEVICE_VERSION);
        return false;
    }

    if (m_deviceVer == m_fileVer)
    {
        m_updImage[UPD_KIND_MAIN].m_status = IMAGE_SKIP;
        m_updImage[UPD_KIND_SYS].m_size = UpdFileFormat::shortSysSize;
    }
    else
    {
        m_updImage[UPD_KIND_MAIN].m_status = IMAGE_SEND;
    }

    // A controller without a system version answers four bytes 0xFF.
    auto* sys = m_answer + Report::systemVersion;

    if (sys[0] == 0xFF && sys[1] == 0xFF && sys[2] == 0xFF && sys[3] == 0xFF)
    {
        sys[0] = '0';
        sys[1] = '.';
        sys[2] = '0';
        sys[3] = '0';
    }

    juce::String sysVersion;

    for (int i = 0; i < 4; ++i)
        if (sys[i] != 0)
            sysVersion += juce::String::charToString (static_cast<juce::juce_wchar> (sys[i]));

    m_deviceSysVer = sysVersion;

    if (!CheckSysVer (m_deviceSysVer))
    {
        SetStateUnlessRemoved (ERR_DEVICE_VERSION);
        return false;
    }

    m_updImage[UPD_KIND_SUB].m_status = IMAGE_SEND;
    m_updImage[UPD_KIND_SYS].m_status = IMAGE_SEND;
    return true;
}

#include "update/UpdateEngine.h"

#include "update/UpdateFileFormat.h"

#include <algorithm>
#include <cstring>

namespace
{
int32_t errorOfCheckModeReason (uint8_t reason)
{
    switch (reason)
    {
        case REASON_1:
            return ERR_DEVICE_REASON1;
        case REASON_2:
            return ERR_DEVICE_REASON2;
        case REASON_3:
            return ERR_DEVICE_REASON3;
        case REASON_4:
            return ERR_DEVICE_REASON4;
        default:
            return ERR_GENERAL;
    }
}
}  // namespace

bool UpdateEngine::CheckDeviceMode (StepResult& failure)
{
    prepareRequest (TARGET_DEVICE, CMD_CHECK_MODE);

    if (const auto outcome = SendDataAndWaitResponse(); outcome != EXCHANGE_ANSWERED)
    {
        failure = resultOfUnanswered (outcome);
        return false;
    }

    // An answer that did not echo our request is not the controller's consent.
    if (!answerPassesExchangeTest())
    {
        failure = StepResult::failWith (ERR_GENERAL);
        return false;
    }

    switch (m_answer[Report::answer])
    {
        case ANS_ERROR:
            failure = StepResult::failWith (errorOfCheckModeReason (m_answer[Report::reason]));
            return false;

        case ANS_OK:
            return m_fileReady == FILE_READY ? CheckDeviceVersion (failure) : true;

        default:
            failure = StepResult::failWith (ERR_GENERAL);
            return false;
    }
}

bool UpdateEngine::CheckDeviceVersion (StepResult& failure)
{
    prepareRequest (TARGET_DEVICE, CMD_GET_VERSION);

    if (const auto outcome = SendDataAndWaitResponse(); outcome != EXCHANGE_ANSWERED)
    {
        failure = resultOfUnanswered (outcome);
        return false;
    }

    if (!answerPassesExchangeTest() || m_answer[Report::answer] != ANS_VERSION)
    {
        failure = StepResult::failWith (ERR_GENERAL);
        return false;
    }

    const auto* version = m_answer + Report::firmwareVersion;
    m_deviceVer = UpdFileFormat::readFirmwareVersion (version);

    if (!UpdFileFormat::isFirmwareVersionInBounds (version))
    {
        failure = StepResult::failWith (ERR_DEVICE_VERSION);
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

    auto* sys = m_answer + Report::systemVersion;
    constexpr auto sysLength = UpdFileFormat::sysVersionLength;

    if (std::all_of (sys, sys + sysLength, [] (uint8_t b) { return b == Report::unsetSystemVersionByte; }))
        std::memcpy (sys, Report::unsetSystemVersion, sysLength);

    // A byte 0 adds no character.
    juce::String sysVersion;

    for (int i = 0; i < sysLength; ++i)
        if (sys[i] != 0)
            sysVersion += juce::String::charToString (static_cast<juce::juce_wchar> (sys[i]));

    m_deviceSysVer = sysVersion;

    if (!CheckSysVer (m_deviceSysVer))
    {
        failure = StepResult::failWith (ERR_DEVICE_VERSION);
        return false;
    }

    m_updImage[UPD_KIND_SUB].m_status = IMAGE_SEND;
    m_updImage[UPD_KIND_SYS].m_status = IMAGE_SEND;
    return true;
}

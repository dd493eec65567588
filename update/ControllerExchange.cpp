#include "update/UpdateEngine.h"

#include "hid/HidCtrl.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace
{

/** The abort's own answer: to the controller as a whole, and not one that only another request
    gets (the versions, busy, done), such as a duplicate of the version answer. */
bool canBeTheAbortsAnswer (const uint8_t* answer)
{
    switch (answer[Report::answer])
    {
        case ANS_VERSION:
        case ANS_BUSY1:
        case ANS_BUSY2:
        case ANS_DONE:
            return false;
        default:
            return answer[Report::target] == TARGET_DEVICE;
    }
}

}  // namespace

void UpdateEngine::prepareRequest (uint8_t target, uint8_t command)
{
    std::memset (m_sendData, 0, sizeof (m_sendData));
    m_sendData[Report::target] = target;
    m_sendData[Report::command] = command;
}

void UpdateEngine::prepareAddressRequest (uint8_t target, uint8_t command, uint32_t address, uint32_t length)
{
    prepareRequest (target, command);
    Report::putLittleEndian32 (m_sendData, Report::address, address);
    m_sendData[Report::addressMarker] = Report::addressMarkerValue;
    Report::putLittleEndian32 (m_sendData, Report::length, length);
}

ExchangeOutcome_t UpdateEngine::SendDataAndWaitResponse()
{
    auto outcome = EXCHANGE_GIVEN_UP;

    // After the removal nothing more goes out.
    if (m_state.load() == ERR_REMOVED)
    {
        outcome = EXCHANGE_CONTROLLER_GONE;
    }
    else if (m_request.openForWorker (m_sendData))
    {
        if (!m_pHidCtrl->sendData (m_sendData, sizeof (m_sendData)))
        {
            m_request.writeFailed (errno);
            sayNotSent();
        }

        outcome = m_request.waitForEnd (m_answer);
    }

    if (m_oldOS)
        juce::Thread::sleep (oldSystemPauseMs);

    return outcome;
}

void UpdateEngine::sayNotSent() const
{
    // The link has said why on standard error (a node it may not open, a failed write).
    std::fprintf (stderr, "Request %02X %02X was not sent to the controller.\n", m_sendData[Report::target],
                  m_sendData[Report::command]);
}

bool UpdateEngine::answerPassesExchangeTest() const
{
    const auto echoed = m_answer[Report::target] == m_sendData[Report::target];
    const auto refused = m_answer[Report::answer] == ANS_ERROR && m_answer[Report::reason] == REASON_5;
    return echoed && !refused;
}

void UpdateEngine::offerAbortReport (std::function<void()> onWaitEnd)
{
    // Whether the report is offered is decided before the worker is stopped: not once the worker
    // has told itself to stop, and not after the controller's removal.
    const auto offered = !threadShouldExit() && m_state.load() != ERR_REMOVED;

    // Then the worker goes, so that the report has the buffers and the link to itself.
    stopWorker();

    if (!offered)
    {
        onWaitEnd();
        return;
    }

    prepareRequest (TARGET_DEVICE, CMD_CANCEL);

    // The answer comes through the message loop, which the caller must not hold up. Open before
    // the write: only an answer that comes after the report went out can end the wait.
    m_request.openWithCallback (m_sendData, canBeTheAbortsAnswer,
                                [this, onWaitEnd = std::move (onWaitEnd)] (ExchangeOutcome_t)
                                {
                                    if (m_oldOS)
                                        juce::Thread::sleep (oldSystemPauseMs);
                                    onWaitEnd();
                                });

    // The link sends only to a connected controller; what was not sent is not awaited.
    if (!m_pHidCtrl->sendData (m_sendData, sizeof (m_sendData)))
        m_request.writeFailed (errno);
}

void UpdateEngine::removalCallBack()
{
    // During an update the removal ends it. Before it (the device checks) and after it the state
    // stays, and an exchange of the worker ends by its time-out; the abort's cannot be answered
    // any more, so its wait ends here and the quit goes on.
    if (!m_state.remove())
    {
        if (m_request.isAwaitedByCallback())
            m_request.controllerGone();
        return;
    }

    // Give an exchange under way a moment to come back by itself.
    wait (removalPauseMs);
    m_request.controllerGone();
    stopWorker();
    askForRedraw();
}

void UpdateEngine::matchingCallBack() {}

void UpdateEngine::inputReportCallBack (const uint8_t* report, size_t length)
{
    std::memcpy (m_response, report, std::min (length, sizeof (m_response)));
}

void UpdateEngine::inputCallBack (int)
{
    m_request.takeAnswer (m_response);
}

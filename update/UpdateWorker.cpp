#include "update/UpdateEngine.h"

#include "hid/HidCtrl.h"
#include "platform/io/RegularFile.h"
#include "update/UpdateFileReading.h"

#include <cerrno>
#include <cstring>
#include <memory>

namespace
{
constexpr int64_t maxBlockLength = 0x20000;
constexpr int normalPause = 1;
constexpr int pollingPause = 100;

/** CMD_START names the first image to send by the address and length it announces. */
struct StartFields
{
    uint32_t address;
    uint32_t length;
};

constexpr StartFields startFields[UPD_KIND_NUM] = {
    { 0x1D0000, 0x10000 },  // the main image first
    { 0x1D0000, 0x1000 },   // the second image first
    { 0, 0 },               // the system image alone
};
}  // namespace

void UpdateEngine::run()
{
    auto pause = normalPause;

    for (;;)
    {
        askForRedraw();
        wait (pause);

        // Stopped during the pause: no step begins, nothing more goes out.
        if (threadShouldExit())
            return;

        m_updKind = m_workerCounters.updKind;

        const auto state = m_state.load();
        applyStep (state, runStep (state, pause));

        if (threadShouldExit())
            return;
    }
}

StepResult UpdateEngine::runStep (int32_t state, int& pause)
{
    switch (state)
    {
        case STATE_INIT:
            return runInit();
        case STATE_READY:
            return StepResult::stay();
        case STATE_START:
            return runStart();
        case STATE_BLOCK:
            return runBlock();
        case STATE_DATA:
            return runData();
        case STATE_CHECKSUM:
            return runChecksum (pause);
        case STATE_GET_STATUS:
            return runGetStatus (pause);
        case ERR_REMOVED:
            // Not written over: the update just ends.
            return StepResult::failWith (ERR_REMOVED);
        default:
            // Nothing the worker knows how to go on from.
            return StepResult::failWith (ERR_GENERAL);
    }
}

void UpdateEngine::applyStep (int32_t state, const StepResult& result)
{
    switch (result.kind)
    {
        case StepResult::STEP_STAY:
            // A removal may have come meanwhile.
            if (UpdState::isError (m_state.load()))
                endWithError();
            return;

        case StepResult::STEP_MOVE:
            // Something else written since the pass began (a removal) is the end.
            if (!m_state.advance (state, result.value))
                endWithError();
            return;

        case StepResult::STEP_FAIL:
            m_state.fail (result.value);
            endWithError();
            return;

        case StepResult::STEP_GONE:
            // During the device checks the state is still the language screen's, where a removal
            // writes nothing: the exchange just had no answer.
            if (!m_state.remove())
                m_state.fail (ERR_TIMEOUT);
            endWithError();
            return;

        case StepResult::STEP_STOPPED:
            return;

        case StepResult::STEP_COMPLETE:
            endWithCompletion();
            return;
    }
}

void UpdateEngine::endWithError()
{
    askForRedraw();
    signalThreadShouldExit();
}

void UpdateEngine::endWithCompletion()
{
    // The controller restarts on this report, so no answer is awaited; the update is complete
    // only once the report went out.
    auto writeFailed = false;
    const auto completed =
        m_state.completeAfter (STATE_BLOCK,
                               [&]
                               {
                                   prepareRequest (TARGET_DEVICE, CMD_COMPLETE);
                                   if (!m_request.openForWorker (m_sendData))
                                       return false;

                                   if (m_pHidCtrl->sendData (m_sendData, sizeof (m_sendData)))
                                   {
                                       m_request.sentWithoutAnswer();
                                       return true;
                                   }

                                   m_request.writeFailed (errno);
                                   writeFailed = true;
                                   return false;
                               });

    if (completed)
    {
        m_progress = 1.0;
        askForRedraw();
        signalThreadShouldExit();
        m_finished = FINISHED;
        return;
    }

    if (!writeFailed)
    {
        // A removal came first, or the worker was told to stop: nothing went out.
        endWithError();
        return;
    }

    // The removal that may follow the failed write writes the state: it is waited for without
    // the state's lock.
    sayNotSent();
    applyStep (STATE_BLOCK, resultOfUnanswered (m_request.waitForEnd (m_answer)));
}

StepResult UpdateEngine::resultOfUnanswered (ExchangeOutcome_t outcome)
{
    switch (outcome)
    {
        case EXCHANGE_CONTROLLER_GONE:
            return StepResult::gone();
        case EXCHANGE_GIVEN_UP:
            return StepResult::stopped();
        default:
            // No answer in time, or none that can come to a report that did not go out.
            return StepResult::failWith (ERR_TIMEOUT);
    }
}

StepResult UpdateEngine::exchangeExpecting (uint8_t expectedAnswer, int32_t next)
{
    const auto outcome = SendDataAndWaitResponse();

    if (outcome != EXCHANGE_ANSWERED)
        return resultOfUnanswered (outcome);

    if (!answerPassesExchangeTest() || m_answer[Report::answer] != expectedAnswer)
        return StepResult::failWith (ERR_GENERAL);

    return StepResult::moveTo (next);
}

StepResult UpdateEngine::runInit()
{
    StepResult failure;

    if (!CheckDeviceMode (failure))
        return failure;

    for (const auto& image : m_updImage)
        if (image.m_status == IMAGE_SEND)
            m_totalDataSize += image.m_size;

    if (m_totalDataSize <= 0)
        return StepResult::failWith (ERR_GENERAL);

    return StepResult::moveTo (STATE_READY);
}

StepResult UpdateEngine::runStart()
{
    auto& counters = m_workerCounters;
    auto kind = static_cast<int32_t> (UPD_KIND_MAIN);

    while (kind < UPD_KIND_NUM && m_updImage[kind].m_status != IMAGE_SEND)
        ++kind;

    if (kind == UPD_KIND_NUM)
        return StepResult::failWith (ERR_GENERAL);

    counters.updKind = kind;

    if (kind == UPD_KIND_MAIN)
        m_mainImageStarted = true;

    prepareAddressRequest (m_updImage[kind].m_target, CMD_START, startFields[kind].address,
                           startFields[kind].length);
    return exchangeExpecting (ANS_OK, STATE_BLOCK);
}

StepResult UpdateEngine::runBlock()
{
    auto& counters = m_workerCounters;
    const auto kind = counters.updKind;

    if (kind >= UPD_KIND_NUM)
        return StepResult::complete();

    const auto& image = m_updImage[kind];

    if (image.m_status != IMAGE_SEND)
    {
        counters.updKind = kind + 1;
        m_updKind = kind + 1;
        return StepResult::stay();
    }

    const auto length = juce::jmin (image.m_size - counters.alreadySentDataSize, maxBlockLength);

    prepareAddressRequest (image.m_target, CMD_BLOCK,
                           static_cast<uint32_t> (image.m_address + counters.alreadySentDataSize),
                           static_cast<uint32_t> (length));
    return exchangeExpecting (ANS_OK, STATE_DATA);
}

bool UpdateEngine::readCheckedBlock (const UpdImage& image, int64_t fileOffset, juce::MemoryBlock& block)
{
    const auto length = static_cast<int> (block.getSize());
    const auto checkedSize = static_cast<int64_t> (m_checkedFileContents.getSize());

    if (fileOffset < 0 || fileOffset + length > checkedSize)
        return false;

    // Only a regular file, opened without waiting for a pipe's writer; one of another size has
    // changed.
    const auto stream = platform::openRegularFile (image.m_file);

    if (stream == nullptr || stream->getTotalLength() != checkedSize || !stream->setPosition (fileOffset) ||
        readFully (*stream, block.getData(), length) != length)
        return false;

    return std::memcmp (block.getData(), m_checkedFileContents.begin() + fileOffset,
                        static_cast<size_t> (length)) == 0;
}

StepResult UpdateEngine::runData()
{
    auto& counters = m_workerCounters;
    const auto& image = m_updImage[counters.updKind];
    const auto length =
        static_cast<int> (juce::jmin (image.m_size - counters.alreadySentDataSize, maxBlockLength));
    juce::MemoryBlock block (static_cast<size_t> (length), true);

    // The file is read afresh for every block, and a block goes out only as it was checked: a
    // file changed, cut short, replaced or gone since then ends the update before any of it.
    if (!readCheckedBlock (image, image.m_fileOffset + counters.readOffset, block))
        return StepResult::failWith (ERR_FILE_OPEN);

    const auto* bytes = static_cast<const uint8_t*> (block.getData());
    const auto base = m_progress.load();

    // A refused piece does not stop the block: the rest still goes out, but no byte sum.
    auto refused = false;

    const auto exchangePiece = [&]
    {
        const auto outcome = SendDataAndWaitResponse();

        if (outcome == EXCHANGE_ANSWERED &&
            (!answerPassesExchangeTest() || m_answer[Report::answer] != ANS_OK))
            refused = true;

        return outcome;
    };

    for (int offset = 0; offset < length; offset += Report::dataBytesPerReport)
    {
        m_progress = base + static_cast<double> (offset) / static_cast<double> (m_totalDataSize);

        const auto remaining = length - offset;

        if (remaining > Report::dataBytesPerReport)
        {
            counters.alreadySentDataSize += Report::dataBytesPerReport;
        }
        else
        {
            // The last piece: announce how many of its bytes count.
            counters.alreadySentDataSize += remaining;
            prepareRequest (image.m_target, CMD_DATA_SIZE);
            m_sendData[Report::dataCount] = static_cast<uint8_t> (remaining);

            if (const auto outcome = exchangePiece(); outcome != EXCHANGE_ANSWERED)
                return resultOfUnanswered (outcome);
        }

        prepareRequest (image.m_target, CMD_DATA);
        std::memcpy (m_sendData + Report::data, bytes + offset,
                     static_cast<size_t> (juce::jmin (remaining, Report::dataBytesPerReport)));

        if (const auto outcome = exchangePiece(); outcome != EXCHANGE_ANSWERED)
            return resultOfUnanswered (outcome);
    }

    if (refused)
        return StepResult::failWith (ERR_GENERAL);

    uint32_t sum = 0;

    for (int i = 0; i < length; ++i)
        sum += bytes[i];

    m_blockSum = static_cast<int32_t> (sum);
    return StepResult::moveTo (STATE_CHECKSUM);
}

StepResult UpdateEngine::runChecksum (int& pause)
{
    auto& counters = m_workerCounters;
    const auto& image = m_updImage[counters.updKind];
    prepareRequest (image.m_target, CMD_CHECKSUM);
    Report::putLittleEndian32 (m_sendData, Report::checksum, static_cast<uint32_t> (m_blockSum));

    const auto outcome = SendDataAndWaitResponse();

    if (outcome != EXCHANGE_ANSWERED)
        return resultOfUnanswered (outcome);

    const auto answer = m_answer[Report::answer];

    if (!answerPassesExchangeTest())
        return StepResult::failWith (ERR_GENERAL);

    if (answer != ANS_OK)
    {
        const auto badSum = answer == ANS_ERROR && m_answer[Report::reason] == REASON_2;
        return StepResult::failWith (badSum ? ERR_DEVICE_REASON2 : ERR_GENERAL);
    }

    pause = pollingPause;
    return StepResult::moveTo (STATE_GET_STATUS);
}

StepResult UpdateEngine::runGetStatus (int& pause)
{
    auto& counters = m_workerCounters;
    const auto kind = counters.updKind;
    const auto& image = m_updImage[kind];
    prepareRequest (image.m_target, CMD_GET_STATUS);

    const auto outcome = SendDataAndWaitResponse();

    if (outcome != EXCHANGE_ANSWERED)
        return resultOfUnanswered (outcome);

    if (!answerPassesExchangeTest())
        return StepResult::failWith (ERR_GENERAL);

    switch (m_answer[Report::answer])
    {
        case ANS_BUSY1:
        case ANS_BUSY2:
            return StepResult::stay();

        case ANS_DONE:
            if (counters.readOffset + maxBlockLength < image.m_size)
            {
                counters.readOffset += static_cast<int32_t> (maxBlockLength);
            }
            else
            {
                counters.updKind = kind + 1;
                m_updKind = kind + 1;
                counters.alreadySentDataSize = 0;
                counters.readOffset = 0;
            }

            pause = normalPause;
            return StepResult::moveTo (STATE_BLOCK);

        case ANS_ERROR:
        {
            const auto reason = m_answer[Report::reason];
            return StepResult::failWith (reason == REASON_4   ? ERR_DEVICE_REASON4
                                         : reason == REASON_3 ? ERR_DEVICE_REASON3
                                                              : ERR_GENERAL);
        }

        default:
            return StepResult::failWith (ERR_GENERAL);
    }
}

#include "update/UpdateEngine.h"

#include "hid/HidCtrl.h"
#include "update/UpdateFileReading.h"

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

        switch (m_state.load())
        {
            case STATE_INIT:
                runInit();
                break;
            case STATE_READY:
                break;
            case STATE_START:
                runStart();
                break;
            case STATE_BLOCK:
                runBlock();
                break;
            case STATE_DATA:
                runData();
                break;
            case STATE_CHECKSUM:
                runChecksum (pause);
                break;
            case STATE_GET_STATUS:
                runGetStatus (pause);
                break;
            case ERR_REMOVED:
                endWithError();
                break;

            default:
                // Nothing the worker knows how to go on from.
                SetStateUnlessRemoved (ERR_GENERAL);
                endWithError();
                break;
        }

        if (threadShouldExit())
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
    m_progress = 1.0;

    // The controller restarts on this report: no answer is awaited.
    prepareRequest (TARGET_DEVICE, CMD_COMPLETE);
    m_pHidCtrl->sendData (m_sendData, sizeof (m_sendData));

    askForRedraw();
    signalThreadShouldExit();
    m_finished = FINISHED;
}

bool UpdateEngine::advanceState (int32_t from, int32_t to)
{
    return m_state.compare_exchange_strong (from, to);
}

void UpdateEngine::checkAfterStep()
{
    if (UpdState::isError (m_state.load()))
        endWithError();
}

bool UpdateEngine::exchangeOrEnd()
{
    if (exchangeOrTimeOut())
        return true;

    endWithError();
    return false;
}

bool UpdateEngine::exchangeExpecting (uint8_t expectedAnswer)
{
    if (!exchangeOrEnd())
        return false;

    if (m_answer[Report::answer] != expectedAnswer)
    {
        SetStateUnlessRemoved (ERR_GENERAL);
        endWithError();
        return false;
    }

    return true;
}

void UpdateEngine::runInit()
{
    if (!CheckDeviceMode())
    {
        endWithError();
        return;
    }

    for (const auto& image : m_updImage)
        if (image.m_status == IMAGE_SEND)
            m_totalDataSize += image.m_size;

    if (m_totalDataSize <= 0)
    {
        SetStateUnlessRemoved (ERR_GENERAL);
        endWithError();
        return;
    }

    if (!advanceState (STATE_INIT, STATE_READY))
        endWithError();
}

void UpdateEngine::runStart()
{
    auto& counters = m_workerCounters;
    auto kind = static_cast<int32_t> (UPD_KIND_MAIN);

    while (kind < UPD_KIND_NUM && m_updImage[kind].m_status != IMAGE_SEND)
        ++kind;

    if (kind == UPD_KIND_NUM)
    {
        SetStateUnlessRemoved (ERR_GENERAL);
        endWithError();
        return;
    }

    counters.updKind = kind;

    if (kind == UPD_KIND_MAIN)
        m_mainImageStarted = true;

    prepareAddressRequest (m_updImage[kind].m_target, CMD_START, startFields[kind].address,
                           startFields[kind].length);

    if (exchangeExpecting (ANS_OK) && !advanceState (STATE_START, STATE_BLOCK))
        endWithError();
}

void UpdateEngine::runBlock()
{
    auto& counters = m_workerCounters;
    const auto kind = counters.updKind;

    if (kind >= UPD_KIND_NUM)
    {
        if (advanceState (STATE_BLOCK, STATE_COMPLETE))
            endWithCompletion();
        else
            endWithError();
        return;
    }

    const auto& image = m_updImage[kind];

    if (image.m_status != IMAGE_SEND)
    {
        counters.updKind = kind + 1;
        m_updKind = kind + 1;
        checkAfterStep();
        return;
    }

    const auto length = juce::jmin (image.m_size - counters.alreadySentDataSize, maxBlockLength);

    prepareAddressRequest (image.m_target, CMD_BLOCK,
                           static_cast<uint32_t> (image.m_address + counters.alreadySentDataSize),
                           static_cast<uint32_t> (length));

    if (exchangeExpecting (ANS_OK) && !advanceState (STATE_BLOCK, STATE_DATA))
        endWithError();
}

bool UpdateEngine::exchangeDataReport()
{
    if (!exchangeOrTimeOut())
        return false;

    if (threadShouldExit())
        return false;

    // A refused piece does not stop the block; the byte sum is then not sent.
    if (m_answer[Report::answer] != ANS_OK)
        SetStateUnlessRemoved (ERR_GENERAL);

    return true;
}

bool UpdateEngine::readCheckedBlock (const UpdImage& image, int64_t fileOffset, juce::MemoryBlock& block)
{
    const auto length = static_cast<int> (block.getSize());
    const auto checkedSize = static_cast<int64_t> (m_checkedFileContents.getSize());

    if (fileOffset < 0 || fileOffset + length > checkedSize)
        return false;

    // Only a regular file, opened without waiting for a pipe's writer; one of another size has
    // changed.
    const auto stream = openRegularFile (image.m_file);

    if (stream == nullptr || stream->getTotalLength() != checkedSize || !stream->setPosition (fileOffset) ||
        readFully (*stream, block.getData(), length) != length)
        return false;

    return std::memcmp (block.getData(), m_checkedFileContents.begin() + fileOffset,
                        static_cast<size_t> (length)) == 0;
}

void UpdateEngine::runData()
{
    auto& counters = m_workerCounters;
    const auto& image = m_updImage[counters.updKind];
    const auto length =
        static_cast<int> (juce::jmin (image.m_size - counters.alreadySentDataSize, maxBlockLength));
    juce::MemoryBlock block (static_cast<size_t> (length), true);

    // The file is read afresh for every block, and a block goes out only as it was checked: a
    // file changed, cut short, replaced or gone since then ends the update before any of it.
    if (!readCheckedBlock (image, image.m_fileOffset + counters.readOffset, block))
    {
        SetStateUnlessRemoved (ERR_FILE_OPEN);
        endWithError();
        return;
    }

    const auto* bytes = static_cast<const uint8_t*> (block.getData());
    const auto base = m_progress.load();

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

            if (!exchangeDataReport())
                break;
        }

        prepareRequest (image.m_target, CMD_DATA);
        std::memcpy (m_sendData + Report::data, bytes + offset,
                     static_cast<size_t> (juce::jmin (remaining, Report::dataBytesPerReport)));

        if (!exchangeDataReport())
            break;
    }

    if (m_state.load() == STATE_DATA)
    {
        uint32_t sum = 0;

        for (int i = 0; i < length; ++i)
            sum += bytes[i];

        m_blockSum = static_cast<int32_t> (sum);
        advanceState (STATE_DATA, STATE_CHECKSUM);
    }

    checkAfterStep();
}

void UpdateEngine::runChecksum (int& pause)
{
    auto& counters = m_workerCounters;
    const auto& image = m_updImage[counters.updKind];
    prepareRequest (image.m_target, CMD_CHECKSUM);
    Report::putLittleEndian32 (m_sendData, Report::checksum, static_cast<uint32_t> (m_blockSum));

    if (!exchangeOrEnd())
        return;

    const auto answer = m_answer[Report::answer];

    if (answer != ANS_OK)
    {
        const auto badSum = answer == ANS_ERROR && m_answer[Report::reason] == REASON_2;
        SetStateUnlessRemoved (badSum ? ERR_DEVICE_REASON2 : ERR_GENERAL);
        endWithError();
        return;
    }

    pause = pollingPause;

    if (!advanceState (STATE_CHECKSUM, STATE_GET_STATUS))
        endWithError();
}

void UpdateEngine::runGetStatus (int& pause)
{
    auto& counters = m_workerCounters;
    const auto kind = counters.updKind;
    const auto& image = m_updImage[kind];
    prepareRequest (image.m_target, CMD_GET_STATUS);

    if (!exchangeOrEnd())
        return;

    switch (m_answer[Report::answer])
    {
        case ANS_BUSY1:
        case ANS_BUSY2:
            checkAfterStep();
            return;

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

            if (!advanceState (STATE_GET_STATUS, STATE_BLOCK))
                endWithError();
            return;

        case ANS_ERROR:
        {
            const auto reason = m_answer[Report::reason];
            SetStateUnlessRemoved (reason == REASON_4   ? ERR_DEVICE_REASON4
                                   : reason == REASON_3 ? ERR_DEVICE_REASON3
                                                        : ERR_GENERAL);
            endWithError();
            return;
        }

        default:
            SetStateUnlessRemoved (ERR_GENERAL);
            endWithError();
            return;
    }
}

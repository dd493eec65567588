#pragma once

#include <juce_core/juce_core.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

/** The steps of an update, as held in UpdateEngine::m_state. */
enum UpdState_t : int32_t
{
    STATE_INIT = 0,
    STATE_READY = 1,
    STATE_START = 2,
    STATE_BLOCK = 3,
    STATE_DATA = 4,
    STATE_CHECKSUM = 5,
    STATE_GET_STATUS = 6,
    STATE_COMPLETE = 7
};

/** The error identifiers that UpdateEngine::m_state holds once an update has failed; the
    window shows them as four hexadecimal digits. */
enum ErrId_t : int32_t
{
    ERR_FILE_NOT_FOUND = 0x0E01,
    ERR_FILE_LOAD = 0x0E02,
    ERR_FILE_SIZE = 0x0E03,
    ERR_FILE_VERSION = 0x0E04,
    ERR_FILE_CRC = 0x0E05,
    ERR_DEVICE_VERSION = 0x0E11,
    ERR_NOT_CONNECTED = 0x0E21,
    ERR_DEVICE_REASON1 = 0x0E31,
    ERR_FILE_OPEN = 0x0E32,
    ERR_DEVICE_REASON2 = 0x0E33,
    ERR_DEVICE_REASON3 = 0x0E34,
    ERR_DEVICE_REASON4 = 0x0E35,
    ERR_TIMEOUT = 0x0E36,
    ERR_REMOVED = 0x0E37,
    ERR_GENERAL = 0x0E41
};

/** Index of UpdateEngine::m_updImage. */
enum UpdKind_t : int32_t
{
    UPD_KIND_MAIN = 0,
    UPD_KIND_SUB = 1,
    UPD_KIND_SYS = 2,
    UPD_KIND_NUM = 3
};

/** Values of UpdImage::m_status besides the ErrId_t of a failed file check (and 0 before any). */
enum ImageStatus_t : int32_t
{
    IMAGE_LOADED = 1,
    IMAGE_SEND = 2,
    IMAGE_SKIP = 3
};

/** Values of UpdateEngine::m_fileReady: whether an update file has passed its check. */
enum FileReady_t : int32_t
{
    FILE_NOT_READY = 0,
    FILE_READY = 8
};

/** Values of UpdateEngine::m_finished: whether the worker has sent the completion report. */
enum Finished_t : int32_t
{
    NOT_FINISHED = 0,
    FINISHED = 1
};

/** The range tests by which every reader classifies the state value. */
namespace UpdState
{
inline bool isError (int32_t state)
{
    return state >= ERR_FILE_NOT_FOUND && state <= ERR_GENERAL;
}
inline bool isFileError (int32_t state)
{
    return state >= ERR_FILE_NOT_FOUND && state <= ERR_FILE_CRC;
}
inline bool isDeviceError (int32_t state)
{
    return state >= ERR_DEVICE_VERSION && state <= ERR_GENERAL;
}
inline bool isUpdating (int32_t state)
{
    return state >= STATE_READY && state <= STATE_GET_STATUS;
}
inline bool isTransferring (int32_t state)
{
    return state >= STATE_BLOCK && state <= STATE_GET_STATUS;
}
}  // namespace UpdState

/** The state value, UpdateEngine::m_state: a step of the update or an error identifier, with the
    rules of every write in one place. ERR_REMOVED is never replaced, and once the worker has been
    told to stop from outside nothing is written any more, so that the screen keeps what the user
    last saw.

    Reads are one atomic load, on any thread. Writes are serialised: the worker's loop, the
    removal and the buttons may write from their threads. */
class UpdateStateValue
{
public:
    /** The value now. Any thread. */
    int32_t load() const noexcept { return m_value.load(); }

    /** A step's move: writes `to` only while the value is still `from`. False when something else
        was written meanwhile (an error, a removal) or writing has stopped. */
    bool advance (int32_t from, int32_t to);

    /** Writes an error, unless the value is ERR_REMOVED or writing has stopped. True when written. */
    bool fail (int32_t error);

    /** The controller's removal: ERR_REMOVED while an update is under way (STATE_READY to
        STATE_GET_STATUS); any other value stays. True when written. */
    bool remove();

    /** Start on the version screen: STATE_READY becomes STATE_START. */
    bool start() { return advance (STATE_READY, STATE_START); }

    /** The end of the transfer. Calls send (the completion report) and, when it returns true,
        moves `from` to STATE_COMPLETE, both in one write: a removal is written wholly before the
        report (which then is not sent) or wholly after it (and finds the update complete).
        False when the report was not sent (the value was not `from`, or writing has stopped)
        or when send returned false; the value is then unchanged. */
    bool completeAfter (int32_t from, const std::function<bool()>& send);

    /** The worker has been told to stop: from now on nothing is written. */
    void stopWriting();

private:
    bool writable (int32_t from) const { return !m_stopped && m_value.load() == from; }

    std::mutex m_writeLock;
    std::atomic<int32_t> m_value{ STATE_INIT };
    bool m_stopped = false;  // guarded by m_writeLock

    /** Screen tests put a value directly, to draw its screen without running an update to it. */
    friend struct UpdateStateProbe;
};

/** One firmware image of the update file and where it goes in the controller. */
struct UpdImage
{
    juce::File m_file;
    int64_t m_size = 0;
    int64_t m_fileOffset = 0;
    int64_t m_address = 0;
    int32_t m_status = 0;
    uint8_t m_target = 0;
};

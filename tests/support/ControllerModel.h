#pragma once

#include "update/Protocol.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace qvxtest
{

using ReportBytes = std::array<uint8_t, reportSize>;

/** The controller's side of the update protocol, without any transport: it takes one request and
    says what to answer. It keeps the controller's 2 MiB memory, into which a block goes once its
    byte sum matches, answers busy a chosen number of polls per block, and can be told to
    misbehave. Thread-safe: the transport may call it from any thread while a test reads it. */
class ControllerModel
{
public:
    static constexpr size_t memorySize = 0x200000;
    /** What the memory holds where nothing was written. */
    static constexpr uint8_t untouched = 0xA5;

    /** How to misbehave, on the reports that a Trigger selects. */
    struct Fault
    {
        enum class Kind
        {
            silence,                 // no answer at all
            wrongEcho,               // byte 0 of the answer is not the request's
            error,                   // ANS_ERROR with `value` as its reason
            answerCode,              // answer with `value` as its code
            duplicate,               // the right answer, twice
            delay,                   // the right answer, `delayMs` late
            removal,                 // the controller leaves instead of answering
            hangUp,                  // its node hangs up instead of answering; the bus is not told
            hangUpAfterAnswer,       // the right answer, then its node hangs up at once (a
                                     // write in between fails with `writeError`)
            failWritesAfterAnswer,   // the right answer, then the program's writes fail with
                                     // `writeError`, as they do while a controller is being
                                     // pulled out; the node hangs up `delayMs` later
            refuseWritesAfterAnswer  // the right answer, then the program's writes fail with
                                     // `writeError` (a stall, say); the controller stays
        };

        Kind kind;
        uint8_t value = 0;
        int delayMs = 0;
        /** The errno of the failing writes: EPROTO by default, a USB transfer cut short. */
        int writeError = EPROTO;
    };

    /** Which reports a fault applies to: every report of `command` (any command when unset)
        from the `fromReport`-th report received on (counting from 0), `count` times (-1 for
        ever), and from the `fromCommandReport`-th report of that command on. */
    struct Trigger
    {
        std::optional<uint8_t> command;
        int fromReport = 0;
        int count = -1;
        int fromCommandReport = 0;
    };

    /** What the transport is to do with one request. */
    struct Reply
    {
        /** What becomes of the device's node once the answers are out. */
        enum class Then
        {
            nothing,
            hangUp,       // it hangs up: the program's reads and writes end
            failWrites,   // the program's writes fail with `writeError`; it hangs up
                          // `hangUpAfterMs` later
            refuseWrites  // the program's writes fail with `writeError`; it stays
        };

        std::vector<ReportBytes> answers;  // sent in order, each after `delayMs`
        int delayMs = 0;
        bool remove = false;  // detach the controller instead
        Then then = Then::nothing;
        int hangUpAfterMs = 0;
        int writeError = 0;
    };

    ControllerModel();

    void setFirmwareVersion (std::array<uint8_t, 4> bytes);
    void setSystemVersion (std::array<uint8_t, 4> bytes);
    /** Busy answers to CMD_GET_STATUS before ANS_DONE, per block; -1 answers busy for ever. */
    void setBusyPolls (int polls, uint8_t busyCode = ANS_BUSY1);
    void addFault (Trigger, Fault);

    /** Handles one request as the controller would. */
    Reply handle (const ReportBytes& request);

    /** Every request received, in order. */
    std::vector<ReportBytes> received() const;
    /** The requests received with the given command byte. */
    std::vector<ReportBytes> receivedWithCommand (uint8_t command) const;
    /** A copy of the controller's memory. */
    std::vector<uint8_t> memory() const;

private:
    ReportBytes answerTo (const ReportBytes& request);
    void commitBlock();

    mutable std::mutex m_lock;
    std::array<uint8_t, 4> m_firmwareVersion{ 0x20, 0x19, 0x01, 0x01 };
    std::array<uint8_t, 4> m_systemVersion{ '1', '.', '0', '0' };
    int m_busyPolls = 0;
    uint8_t m_busyCode = ANS_BUSY1;

    struct ArmedFault
    {
        Trigger trigger;
        Fault fault;
        int used = 0;
    };
    std::vector<ArmedFault> m_faults;

    std::vector<ReportBytes> m_received;
    /** How many requests of each command byte were received. */
    std::array<int, 256> m_receivedOfCommand{};
    std::vector<uint8_t> m_memory;

    // The block being received.
    uint32_t m_blockAddress = 0;
    uint32_t m_blockLength = 0;
    std::vector<uint8_t> m_blockData;
    int m_lastPieceCount = -1;
    int m_pollsAnswered = 0;
};

}  // namespace qvxtest

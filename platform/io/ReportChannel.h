#pragma once

// The report channel of one HID device over a file descriptor: a hidraw node in the program, one
// end of a SOCK_SEQPACKET socket pair in tests. Both keep report boundaries: one read gives one
// input report, one write sends one output report.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace platform
{

class ReportChannel : public std::enable_shared_from_this<ReportChannel>
{
public:
    /** Called with each input report, as read (hidraw gives an unnumbered report without a
        report number); on the message thread. */
    using ReportCallback = std::function<void (const uint8_t* report, size_t length)>;
    /** Called once when reading ends because the device has gone; on the message thread. */
    using EndCallback = std::function<void()>;

    /** Takes the descriptor over; it is closed by close() or the destructor. Create the channel
        with std::make_shared: reading needs a shared owner. */
    explicit ReportChannel (int fd);
    ~ReportChannel();

    /** Writes the report number followed by the bytes in one write, e.g. 0x00 and the 64 bytes of
        an output report. True when all of them went out; false, with errno telling why, when
        the channel is closed (EBADF), the write failed, went out short (EMSGSIZE) or length is 0
        (EINVAL). Blocks until the write is done. Any thread. */
    bool write (uint8_t reportNumber, const uint8_t* data, size_t length);

    /** Whether a write that failed with this errno failed because the device has gone: ENODEV,
        which hidraw gives only once its device has gone, or any failure once the descriptor has
        hung up. Any other errno proves nothing by itself: a USB device being pulled out fails a
        transfer (EPROTO, EILSEQ, ETIME, ESHUTDOWN) some time before its node hangs up, and a
        stalled one that stays fails with EPIPE. Any thread. */
    bool failedBecauseDeviceHasGone (int errorNumber) const;

    /** Reads on the message thread's event loop from now on, one report per read, until close()
        or until the device has gone: the descriptor hangs up (POLLHUP, POLLERR, or a socket whose
        peer can send no more) or a read fails. Then it stops by itself and calls onEnd, which may
        close or release the channel. A read of no bytes is an empty report, not the end: it
        carries nothing, so onReport is not called for it. Does nothing when already reading or
        closed. Message thread. */
    void startReading (ReportCallback onReport, EndCallback onEnd = nullptr);

    /** Stops reading and closes the descriptor. A write in progress finishes first, and later
        writes fail: the descriptor's number is never used again by this channel, even once the
        system hands it out anew. Message thread. */
    void close();

    /** Largest input report that is read whole; a longer one is cut to this length. */
    static constexpr size_t maxReportLength = 4096;

private:
    void readOneReport();
    /** Whether reports are still queued for reading. Message thread. */
    bool hasQueuedBytes() const;
    void stopReading();

    std::mutex m_fdLock;  // guards m_fd and m_writeBuffer against writers on other threads
    /** Set on the message thread once the descriptor has hung up; read by writers. */
    std::atomic<bool> m_hungUp{ false };
    int m_fd = -1;
    const bool m_isSocket;
    std::vector<uint8_t> m_writeBuffer;

    // Message thread only.
    bool m_reading = false;
    int m_readingFd = -1;
    std::shared_ptr<const ReportCallback> m_onReport;
    EndCallback m_onEnd;
    std::vector<uint8_t> m_readBuffer;
};

}  // namespace platform

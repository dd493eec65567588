#include "platform/io/ReportChannel.h"

#include <juce_events/juce_events.h>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform
{

namespace
{

bool isSocket (int fd)
{
    struct stat status
    {
    };
    return fd >= 0 && fstat (fd, &status) == 0 && S_ISSOCK (status.st_mode);
}

}  // namespace

ReportChannel::ReportChannel (int fd)
    : m_fd (fd)
    , m_isSocket (isSocket (fd))
{
}

ReportChannel::~ReportChannel()
{
    close();
}

bool ReportChannel::write (uint8_t reportNumber, const uint8_t* data, size_t length)
{
    if (data == nullptr || length == 0)
    {
        errno = EINVAL;
        return false;
    }

    int failure = 0;
    {
        // Held across the write, so that close() cannot hand the number to another file meanwhile.
        const std::lock_guard<std::mutex> guard (m_fdLock);
        if (m_fd < 0)
        {
            failure = EBADF;
        }
        else
        {
            // One buffer, one write: hidraw takes the report number as the first byte of the write.
            m_writeBuffer.resize (length + 1);
            m_writeBuffer[0] = reportNumber;
            std::memcpy (m_writeBuffer.data() + 1, data, length);

            ssize_t written;
            do
            {
                // A socket whose peer has gone would raise SIGPIPE on write().
                written = m_isSocket ? ::send (m_fd, m_writeBuffer.data(), m_writeBuffer.size(), MSG_NOSIGNAL)
                                     : ::write (m_fd, m_writeBuffer.data(), m_writeBuffer.size());
            } while (written < 0 && errno == EINTR);

            if (written < 0)
                failure = errno;
            else if (written != static_cast<ssize_t> (m_writeBuffer.size()))
                failure = EMSGSIZE;
        }
    }

    if (failure == 0)
        return true;

    errno = failure;
    return false;
}

bool ReportChannel::failedBecauseDeviceHasGone (int errorNumber) const
{
    return errorNumber == ENODEV || m_hungUp.load();
}

void ReportChannel::startReading (ReportCallback onReport, EndCallback onEnd)
{
    if (m_reading || m_fd < 0)
        return;

    m_onReport = std::make_shared<const ReportCallback> (std::move (onReport));
    m_onEnd = std::move (onEnd);
    m_readBuffer.resize (maxReportLength);
    m_reading = true;
    m_readingFd = m_fd;

    // The event loop may still call a callback that was collected before it was unregistered, so
    // the callback holds the channel weakly and checks that it still reads.
    juce::LinuxEventLoop::registerFdCallback (m_readingFd,
                                              [weak = std::weak_ptr<ReportChannel> (shared_from_this())] (int)
                                              {
                                                  if (auto channel = weak.lock())
                                                      channel->readOneReport();
                                              });
}

void ReportChannel::readOneReport()
{
    if (!m_reading)
        return;

    // The descriptor stays blocking for writes; a read must never block the message thread.
    // A hidraw node whose device has gone reports POLLHUP and POLLERR; a socket reports its
    // peer's end as POLLHUP, or as POLLRDHUP once the peer can send no more.
    pollfd ready{ m_readingFd, POLLIN | POLLRDHUP, 0 };
    if (poll (&ready, 1, 0) <= 0)
        return;

    const auto hungUp = (ready.revents & (POLLHUP | POLLRDHUP | POLLERR | POLLNVAL)) != 0;

    if ((ready.revents & POLLIN) != 0)
    {
        const auto got = ::read (m_readingFd, m_readBuffer.data(), m_readBuffer.size());
        if (got > 0)
        {
            // A copy of the pointer, in case the callback closes the channel.
            const auto onReport = m_onReport;
            (*onReport) (m_readBuffer.data(), static_cast<size_t> (got));
            return;
        }

        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            return;

        // No bytes is an empty report while the device is there (a socket gives no bytes both
        // for an empty packet and for a peer that has gone), and after a hang-up too while
        // reports are still queued behind it.
        if (got == 0 && (!hungUp || hasQueuedBytes()))
            return;
    }
    else if (!hungUp)
    {
        return;
    }

    // The device has gone, or its reads fail. The event loop would call again at once. The
    // callback is taken out first, in case it closes or releases the channel.
    m_hungUp = true;
    const auto onEnd = std::exchange (m_onEnd, nullptr);
    stopReading();

    if (onEnd != nullptr)
        onEnd();
}

bool ReportChannel::hasQueuedBytes() const
{
    // A socket tells how many bytes its queued packets hold; a hidraw node does not say.
    int queued = 0;
    return m_isSocket && ::ioctl (m_readingFd, FIONREAD, &queued) == 0 && queued > 0;
}

void ReportChannel::stopReading()
{
    if (!m_reading)
        return;

    juce::LinuxEventLoop::unregisterFdCallback (m_readingFd);
    m_reading = false;
    m_readingFd = -1;
    m_onEnd = nullptr;
}

void ReportChannel::close()
{
    stopReading();

    const std::lock_guard<std::mutex> guard (m_fdLock);
    if (m_fd >= 0)
    {
        ::close (m_fd);
        m_fd = -1;
    }
}

}  // namespace platform

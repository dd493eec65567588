#include "platform/ReportChannel.h"

#include <juce_events/juce_events.h>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

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
        return false;

    // Held across the write, so that close() cannot hand the number to another file meanwhile.
    const std::lock_guard<std::mutex> guard (m_fdLock);
    if (m_fd < 0)
        return false;

    // One buffer, one write: hidraw takes the report number as the first byte of the same write.
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

    return written == static_cast<ssize_t> (m_writeBuffer.size());
}

void ReportChannel::startReading (ReportCallback onReport)
{
    if (m_reading || m_fd < 0)
        return;

    m_onReport = std::make_shared<const ReportCallback> (std::move (onReport));
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
    pollfd ready{ m_readingFd, POLLIN, 0 };
    if (poll (&ready, 1, 0) <= 0)
        return;

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

    // End of file or an error: the device has gone. The event loop would call again at once.
    stopReading();
}

void ReportChannel::stopReading()
{
    if (!m_reading)
        return;

    juce::LinuxEventLoop::unregisterFdCallback (m_readingFd);
    m_reading = false;
    m_readingFd = -1;
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

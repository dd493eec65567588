#include "platform/desktop/RunningCopy.h"

#include <juce_events/juce_events.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform
{

namespace
{

// Bounds on what one copy may hand over and on how many may wait at once: the channel is open to
// every process of the user, and none of them may make the running copy grow without end.
constexpr size_t maxCommandLineBytes = 64 * 1024;
constexpr size_t maxWaitingCopies = 16;

struct ChannelAddress
{
    sockaddr_un address;
    socklen_t length;

    const sockaddr* get() const { return reinterpret_cast<const sockaddr*> (&address); }
};

/** An abstract socket address (Linux: no file, gone with its process), one per user and name.
    Empty when the name is too long for an address. */
std::optional<ChannelAddress> channelAddress (const juce::String& programName)
{
    const auto name = (programName + "." + juce::String (::geteuid())).toStdString();
    ChannelAddress result = {};
    result.address.sun_family = AF_UNIX;

    if (name.empty() || name.size() + 1 > sizeof (result.address.sun_path))
        return std::nullopt;

    // sun_path[0] stays 0: that makes the address abstract.
    std::memcpy (result.address.sun_path + 1, name.data(), name.size());
    result.length = static_cast<socklen_t> (offsetof (sockaddr_un, sun_path) + 1 + name.size());
    return result;
}

bool peerIsThisUser (int fd)
{
    ucred credentials = {};
    socklen_t length = sizeof (credentials);
    return ::getsockopt (fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) == 0 &&
           credentials.uid == ::geteuid();
}

/** Milliseconds left until the deadline (a value of juce::Time::getMillisecondCounter), at
    least 0. */
int millisecondsLeft (juce::uint32 deadline)
{
    const auto now = juce::Time::getMillisecondCounter();
    return now >= deadline ? 0 : static_cast<int> (deadline - now);
}

/** Waits for the events on fd until the deadline. Returns whether one of them came. */
bool waitFor (int fd, short events, juce::uint32 deadline)
{
    for (;;)
    {
        pollfd entry = { fd, events, 0 };
        const auto result = ::poll (&entry, 1, millisecondsLeft (deadline));

        if (result > 0)
            return true;

        if (result == 0 || errno != EINTR)
            return false;
    }
}

/** Connects to the running copy, retrying until the deadline while nobody listens yet.
    Returns the socket, or -1. */
int connectToRunningCopy (const ChannelAddress& address, juce::uint32 deadline)
{
    for (;;)
    {
        const int fd = ::socket (AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);

        if (fd < 0)
            return -1;

        if (::connect (fd, address.get(), address.length) == 0)
            return fd;

        const int error = errno;
        ::close (fd);

        const bool mayComeLater =
            error == ECONNREFUSED || error == ENOENT || error == EAGAIN || error == EINTR;

        if (!mayComeLater || millisecondsLeft (deadline) == 0)
            return -1;

        juce::Thread::sleep (juce::jmin (20, millisecondsLeft (deadline)));
    }
}

bool sendAll (int fd, const std::string& bytes, juce::uint32 deadline)
{
    size_t sent = 0;

    while (sent < bytes.size())
    {
        const auto count = ::send (fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);

        if (count > 0)
            sent += static_cast<size_t> (count);
        else if (count < 0 && errno == EINTR)
            continue;
        else if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        {
            if (!waitFor (fd, POLLOUT, deadline))
                return false;
        }
        else
            return false;
    }

    return true;
}

/** The running copy closes its end once it has read everything: wait for that. */
bool waitUntilTaken (int fd, juce::uint32 deadline)
{
    for (;;)
    {
        if (!waitFor (fd, POLLIN, deadline))
            return false;

        char byte;
        const auto count = ::recv (fd, &byte, 1, MSG_DONTWAIT);

        if (count == 0)
            return true;

        if (count < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
    }
}

}  // namespace

RunningCopyListener::RunningCopyListener (
    const juce::String& programName, std::function<void (const juce::String& commandLine)> onAnotherStart)
    : m_onAnotherStart (std::move (onAnotherStart))
{
    const auto address = channelAddress (programName);

    if (!address)
        return;

    const int fd = ::socket (AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);

    if (fd < 0)
        return;

    if (::bind (fd, address->get(), address->length) != 0 ||
        ::listen (fd, static_cast<int> (maxWaitingCopies)) != 0)
    {
        ::close (fd);
        return;
    }

    m_listenFd = fd;
    juce::LinuxEventLoop::registerFdCallback (m_listenFd, [this] (int) { acceptWaitingCopies(); });
}

RunningCopyListener::~RunningCopyListener()
{
    while (!m_received.empty())
        dropCopy (m_received.begin()->first);

    if (m_listenFd >= 0)
    {
        juce::LinuxEventLoop::unregisterFdCallback (m_listenFd);
        ::close (m_listenFd);
    }
}

void RunningCopyListener::acceptWaitingCopies()
{
    for (;;)
    {
        const int fd = ::accept4 (m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);

        if (fd < 0)
        {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;

            return;  // EAGAIN: nobody else waits; anything else: try again on the next wake-up
        }

        if (!peerIsThisUser (fd) || m_received.size() >= maxWaitingCopies)
        {
            ::close (fd);
            continue;
        }

        m_received.emplace (fd, std::string());
        juce::LinuxEventLoop::registerFdCallback (fd, [this] (int readyFd) { readFromCopy (readyFd); });
    }
}

void RunningCopyListener::readFromCopy (int fd)
{
    const auto entry = m_received.find (fd);

    if (entry == m_received.end())
        return;

    char buffer[4096];

    for (;;)
    {
        const auto count = ::recv (fd, buffer, sizeof (buffer), 0);

        if (count > 0)
        {
            auto& text = entry->second;
            const auto room = maxCommandLineBytes - text.size();
            text.append (buffer, juce::jmin (room, static_cast<size_t> (count)));
            continue;
        }

        if (count < 0 && errno == EINTR)
            continue;

        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;  // more to come

        break;
    }

    // The other copy closed its end (or the connection failed): that start is complete.
    const auto commandLine =
        juce::String::fromUTF8 (entry->second.data(), static_cast<int> (entry->second.size()));
    dropCopy (fd);

    // Last, since the callback may do anything, even destroy this object.
    if (m_onAnotherStart)
        m_onAnotherStart (commandLine);
}

void RunningCopyListener::dropCopy (int fd)
{
    juce::LinuxEventLoop::unregisterFdCallback (fd);
    ::close (fd);
    m_received.erase (fd);
}

bool passToRunningCopy (const juce::String& programName, const juce::String& commandLine, int timeoutMs)
{
    const auto address = channelAddress (programName);

    if (!address)
        return false;

    const auto deadline =
        juce::Time::getMillisecondCounter() + static_cast<juce::uint32> (juce::jmax (0, timeoutMs));
    const int fd = connectToRunningCopy (*address, deadline);

    if (fd < 0)
        return false;

    const bool taken = peerIsThisUser (fd) && sendAll (fd, commandLine.toStdString(), deadline) &&
                       ::shutdown (fd, SHUT_WR) == 0 && waitUntilTaken (fd, deadline);
    ::close (fd);
    return taken;
}

}  // namespace platform

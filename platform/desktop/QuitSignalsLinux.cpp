#include "platform/desktop/QuitSignals.h"

#include <juce_events/juce_events.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <unistd.h>

namespace platform
{

namespace
{

// SIGHUP is what a closing session or terminal sends.
constexpr int quitSignals[] = { SIGTERM, SIGINT, SIGHUP };

// The handler may run on any thread at any moment: it only writes one byte to the pipe, and it
// finds the pipe through a lock-free atomic.
std::atomic<int> writeFdForHandler{ -1 };
static_assert (std::atomic<int>::is_always_lock_free);

struct sigaction previousActions[std::size (quitSignals)];

void onQuitSignal (int)
{
    const int savedErrno = errno;
    const int fd = writeFdForHandler.load();

    if (fd >= 0)
    {
        const char byte = 1;
        [[maybe_unused]] const auto written = ::write (fd, &byte, 1);
    }

    errno = savedErrno;
}

}  // namespace

QuitSignalWatcher::QuitSignalWatcher (std::function<void()> onQuit)
    : m_onQuit (std::move (onQuit))
{
    int fds[2];

    if (::pipe2 (fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;

    m_readFd = fds[0];
    m_writeFd = fds[1];
    writeFdForHandler.store (m_writeFd);
    juce::LinuxEventLoop::registerFdCallback (m_readFd, [this] (int) { drainAndQuit(); });

    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    sigemptyset (&action.sa_mask);
    action.sa_flags = SA_RESTART;

    for (size_t i = 0; i < std::size (quitSignals); ++i)
        ::sigaction (quitSignals[i], &action, &previousActions[i]);
}

QuitSignalWatcher::~QuitSignalWatcher()
{
    if (m_readFd < 0)
        return;

    for (size_t i = 0; i < std::size (quitSignals); ++i)
        ::sigaction (quitSignals[i], &previousActions[i], nullptr);

    writeFdForHandler.store (-1);
    juce::LinuxEventLoop::unregisterFdCallback (m_readFd);
    ::close (m_readFd);
    ::close (m_writeFd);
}

void QuitSignalWatcher::drainAndQuit()
{
    // The callback is level-triggered: empty the pipe, then quit once for all that was in it.
    bool signalled = false;
    char buffer[64];

    for (;;)
    {
        const auto count = ::read (m_readFd, buffer, sizeof (buffer));

        if (count > 0)
            signalled = true;
        else if (count < 0 && errno == EINTR)
            continue;
        else
            break;
    }

    if (signalled && m_onQuit)
        m_onQuit();
}

}  // namespace platform

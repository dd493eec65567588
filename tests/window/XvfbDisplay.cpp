#include "window/XvfbDisplay.h"

#include <juce_core/juce_core.h>

// After JUCE: Xlib's macros must not reach JUCE's headers.
#include <X11/Xlib.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qvxtest
{

namespace
{

std::string readLine (int fd, int timeoutMs)
{
    std::string text;
    const auto deadline = juce::Time::getMillisecondCounter() + static_cast<juce::uint32> (timeoutMs);

    while (juce::Time::getMillisecondCounter() < deadline)
    {
        pollfd entry = { fd, POLLIN, 0 };
        if (::poll (&entry, 1, 100) <= 0)
            continue;

        char c = 0;
        const auto count = ::read (fd, &c, 1);

        if (count < 0 && errno == EINTR)
            continue;

        if (count <= 0)
            return {};

        if (c == '\n')
            return text;

        text += c;
    }

    return {};
}

}  // namespace

std::string XvfbServer::start()
{
    int pipeFds[2];
    if (::pipe2 (pipeFds, O_CLOEXEC) != 0)
        return {};

    const std::string log = std::string (QVX_TEST_ARTEFACTS) + "/xvfb.log";
    ::mkdir (QVX_TEST_ARTEFACTS, 0755);
    const auto parent = ::getpid();

    m_pid = ::fork();

    if (m_pid == 0)
    {
        ::prctl (PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit (1);

        ::unsetenv ("LD_PRELOAD");

        // Xvfb writes the display number it chose to fd 3 once it is ready.
        ::dup2 (pipeFds[1], 3);
        const int logFd = ::open (log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (logFd >= 0)
        {
            ::dup2 (logFd, STDOUT_FILENO);
            ::dup2 (logFd, STDERR_FILENO);
        }

        ::execlp ("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                  static_cast<char*> (nullptr));
        ::_exit (127);
    }

    ::close (pipeFds[1]);

    std::string number;
    if (m_pid > 0)
        number = readLine (pipeFds[0], 20000);

    ::close (pipeFds[0]);
    return number.empty() ? std::string() : ":" + number;
}

XvfbServer::~XvfbServer()
{
    if (m_pid <= 0)
        return;

    ::kill (m_pid, SIGTERM);
    int status = 0;
    while (::waitpid (m_pid, &status, 0) < 0 && errno == EINTR)
    {
    }
}

_XDisplay* createWindowManagerAtoms()
{
    auto* display = XOpenDisplay (nullptr);
    if (display == nullptr)
        return nullptr;

    const char* names[] = { "WM_PROTOCOLS",
                            "WM_TAKE_FOCUS",
                            "WM_DELETE_WINDOW",
                            "WM_STATE",
                            "WM_CHANGE_STATE",
                            "_NET_WM_PING",
                            "_NET_WM_WINDOW_TYPE",
                            "_NET_WM_WINDOW_TYPE_NORMAL",
                            "_NET_WM_WINDOW_TYPE_COMBO",
                            "_NET_WM_STATE",
                            "_NET_WM_STATE_HIDDEN",
                            "_NET_WM_STATE_ABOVE",
                            "_NET_WM_STATE_SKIP_TASKBAR",
                            "_NET_WM_STATE_FULLSCREEN",
                            "_MOTIF_WM_HINTS",
                            "_NET_WM_ALLOWED_ACTIONS",
                            "_NET_WM_ACTION_RESIZE",
                            "_NET_WM_ACTION_FULLSCREEN",
                            "_NET_WM_ACTION_MINIMIZE",
                            "_NET_WM_ACTION_CLOSE",
                            "_NET_FRAME_EXTENTS",
                            "_NET_WORKAREA" };

    for (const auto* name : names)
        XInternAtom (display, name, False);

    XSync (display, False);
    return display;
}

OwnDisplay::OwnDisplay()
{
    const auto name = m_server.start();

    if (name.empty())
    {
        std::fprintf (stderr, "Could not start Xvfb (see %s/xvfb.log)\n", QVX_TEST_ARTEFACTS);
        return;
    }

    ::setenv ("DISPLAY", name.c_str(), 1);

    XInitThreads();
    m_atomsConnection = createWindowManagerAtoms();

    if (m_atomsConnection == nullptr)
        std::fprintf (stderr, "Could not open the display %s\n", name.c_str());
}

OwnDisplay::~OwnDisplay()
{
    if (m_atomsConnection != nullptr)
        XCloseDisplay (m_atomsConnection);
}

}  // namespace qvxtest

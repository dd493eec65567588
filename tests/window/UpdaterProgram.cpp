#include "window/UpdaterProgram.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace qvxtest
{

namespace
{

constexpr int waitForOtherRunsMs = 180000;
constexpr int waitForOtherCopyMs = 30000;

/** The process that holds a write lock on the file, or 0 when none does. */
pid_t lockOwner (const juce::File& file)
{
    const int fd = ::open (file.getFullPathName().toRawUTF8(), O_RDONLY | O_CLOEXEC);

    if (fd < 0)
        return 0;

    struct flock query = {};
    query.l_type = F_WRLCK;
    query.l_whence = SEEK_SET;
    const bool asked = ::fcntl (fd, F_GETLK, &query) == 0;
    ::close (fd);
    return asked && query.l_type != F_UNLCK ? query.l_pid : 0;
}

}  // namespace

juce::File updaterInstanceLockFile()
{
    // Where JUCE's InterProcessLock keeps its files on Linux.
    const juce::File folder (juce::File ("/var/tmp").isDirectory() ? "/var/tmp" : "/tmp");
    return folder.getChildFile ("juceAppLock_QVXRZ5UpdateProgram");
}

UpdaterRunGuard::UpdaterRunGuard()
{
    const auto guardFile = updaterInstanceLockFile().getSiblingFile ("qvx720-updater-tests.lock");
    m_fd = ::open (guardFile.getFullPathName().toRawUTF8(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);

    if (m_fd < 0)
    {
        m_problem = "cannot open " + guardFile.getFullPathName();
        return;
    }

    const auto start = juce::Time::getMillisecondCounter();

    while (::flock (m_fd, LOCK_EX | LOCK_NB) != 0)
    {
        if (juce::Time::getMillisecondCounter() - start > waitForOtherRunsMs)
        {
            m_problem = "other tests kept the updater busy for too long";
            return;
        }

        juce::Thread::sleep (50);
    }

    while (const auto owner = lockOwner (updaterInstanceLockFile()))
    {
        if (juce::Time::getMillisecondCounter() - start > waitForOtherRunsMs + waitForOtherCopyMs)
        {
            m_problem = "another copy of the updater runs on this machine (pid " + juce::String (owner) + ")";
            return;
        }

        juce::Thread::sleep (50);
    }
}

UpdaterRunGuard::~UpdaterRunGuard()
{
    if (m_fd >= 0)
        ::close (m_fd);  // releases the flock
}

InstanceLockHolder::InstanceLockHolder()
{
    const auto file = updaterInstanceLockFile();
    const int fd = ::open (file.getFullPathName().toRawUTF8(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);

    if (fd < 0)
        return;

    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;

    if (::fcntl (fd, F_SETLK, &lock) != 0)
    {
        ::close (fd);
        return;
    }

    m_fd = fd;
}

InstanceLockHolder::~InstanceLockHolder()
{
    if (m_fd >= 0)
        ::close (m_fd);  // releases the lock
}

std::unique_ptr<ChildProgram> startUpdater (const juce::StringArray& arguments)
{
    return std::make_unique<ChildProgram> (QVX_PROGRAM, arguments);
}

std::vector<XSession::WindowId> waitForWindows (XSession& session, ChildProgram& program, int timeoutMs)
{
    const auto deadline = juce::Time::getMillisecondCounterHiRes() + timeoutMs;

    while (juce::Time::getMillisecondCounterHiRes() < deadline && !program.hasExited())
    {
        const auto windows = session.viewableWindowsOf (program.pid());

        if (!windows.empty())
            return windows;

        juce::Thread::sleep (20);
    }

    return {};
}

}  // namespace qvxtest

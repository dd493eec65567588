#include "support/ChildProgram.h"

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace qvxtest
{

ChildProgram::ChildProgram (const juce::String& path, const juce::StringArray& arguments)
    : m_output (m_folder.getChildFile ("stdout.txt"))
    , m_error (m_folder.getChildFile ("stderr.txt"))
{
    std::vector<std::string> texts{ path.toStdString() };
    for (const auto& argument : arguments)
        texts.push_back (argument.toStdString());

    std::vector<char*> argv;
    for (auto& text : texts)
        argv.push_back (text.data());
    argv.push_back (nullptr);

    const auto outputPath = m_output.getFullPathName().toStdString();
    const auto errorPath = m_error.getFullPathName().toStdString();

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init (&actions);
    posix_spawn_file_actions_addopen (&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen (&actions, STDOUT_FILENO, outputPath.c_str(),
                                      O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen (&actions, STDERR_FILENO, errorPath.c_str(),
                                      O_WRONLY | O_CREAT | O_TRUNC, 0644);

    // The child starts with every signal at its default and none blocked, whatever the test
    // process did with them.
    posix_spawnattr_t attributes;
    posix_spawnattr_init (&attributes);
    sigset_t all, none;
    sigfillset (&all);
    sigemptyset (&none);
    posix_spawnattr_setsigdefault (&attributes, &all);
    posix_spawnattr_setsigmask (&attributes, &none);
    posix_spawnattr_setflags (&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t pid = -1;
    if (posix_spawn (&pid, argv[0], &actions, &attributes, argv.data(), environ) == 0)
        m_pid = pid;

    posix_spawnattr_destroy (&attributes);
    posix_spawn_file_actions_destroy (&actions);
}

ChildProgram::~ChildProgram()
{
    if (isStarted() && !hasExited())
    {
        ::kill (m_pid, SIGKILL);
        waitForExit (10000);
    }
}

bool ChildProgram::sendSignal (int signalNumber)
{
    return isStarted() && !m_status && ::kill (m_pid, signalNumber) == 0;
}

std::optional<int> ChildProgram::waitForExit (int timeoutMs)
{
    const auto deadline = juce::Time::getMillisecondCounterHiRes() + timeoutMs;

    while (!hasExited() && juce::Time::getMillisecondCounterHiRes() < deadline)
        juce::Thread::sleep (5);

    return m_status;
}

bool ChildProgram::hasExited()
{
    if (!isStarted())
        return true;

    if (!m_status)
    {
        int status = 0;
        if (::waitpid (m_pid, &status, WNOHANG) == m_pid)
            m_status = status;
    }

    return m_status.has_value();
}

juce::String ChildProgram::describeStatus (int status)
{
    if (WIFEXITED (status))
        return "exit code " + juce::String (WEXITSTATUS (status));

    if (WIFSIGNALED (status))
        return "signal " + juce::String (WTERMSIG (status));

    return "status " + juce::String (status);
}

bool ChildProgram::holdsSanitizerReport (const juce::String& text)
{
    return text.contains ("Sanitizer") || text.contains ("runtime error:");
}

}  // namespace qvxtest

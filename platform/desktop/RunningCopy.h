#pragma once

#include <juce_core/juce_core.h>

#include <functional>
#include <map>
#include <string>

namespace platform
{

/** The running copy's end of a channel between copies of one program started by one user: a
    later copy hands its command line over with passToRunningCopy() and ends.

    While the object lives, passToRunningCopy() with the same program name from a process of the
    same user reaches onAnotherStart with that command line, on the message thread. Other users
    and other program names never reach it. The channel is no file: it goes with the process.
    Construct and destroy on the message thread. */
class RunningCopyListener
{
public:
    RunningCopyListener (const juce::String& programName,
                         std::function<void (const juce::String& commandLine)> onAnotherStart);
    ~RunningCopyListener();

    /** False when the channel could not be opened, for instance because another process of
        this user already listens under the same name; later starts then go unnoticed. */
    bool isListening() const noexcept { return m_listenFd >= 0; }

    RunningCopyListener (const RunningCopyListener&) = delete;
    RunningCopyListener& operator= (const RunningCopyListener&) = delete;

private:
    void acceptWaitingCopies();
    void readFromCopy (int fd);
    void dropCopy (int fd);

    std::function<void (const juce::String&)> m_onAnotherStart;
    int m_listenFd = -1;
    std::map<int, std::string> m_received;  // per connected copy: its command line so far
};

/** Hands a command line to the copy of the program that this user runs under this name, and
    waits until that copy has taken it. Keeps trying for at most timeoutMs, since the running copy
    may still be starting. Returns false when no copy took it in that time.
    Any thread except the message thread of the listening process, which must run to take it. */
bool passToRunningCopy (const juce::String& programName, const juce::String& commandLine, int timeoutMs);

}  // namespace platform

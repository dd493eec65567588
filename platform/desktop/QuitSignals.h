#pragma once

#include <functional>

namespace platform
{

/** Turns the system's requests to end the program (SIGTERM, SIGINT, SIGHUP) into a call on the
    message thread, so that the program can quit the normal way instead of dying in the middle.

    While an object lives, each such signal leads to one call of onQuit from the message loop;
    signals that arrive close together may give a single call. Destroying it restores the
    handlers that were there before. Construct and destroy on the message thread, and only one
    object at a time. */
class QuitSignalWatcher
{
public:
    explicit QuitSignalWatcher (std::function<void()> onQuit);
    ~QuitSignalWatcher();

    /** False when the system refused the pipe; the signals then keep their old handlers. */
    bool isWatching() const noexcept { return m_readFd >= 0; }

    QuitSignalWatcher (const QuitSignalWatcher&) = delete;
    QuitSignalWatcher& operator= (const QuitSignalWatcher&) = delete;

private:
    void drainAndQuit();

    std::function<void()> m_onQuit;
    int m_readFd = -1;
    int m_writeFd = -1;
};

}  // namespace platform

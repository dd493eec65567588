#pragma once

#include "support/ChildProgram.h"
#include "window/XSession.h"

#include <juce_core/juce_core.h>

#include <memory>
#include <vector>

namespace qvxtest
{

/** The file of JUCE's single-instance lock of the updater (machine-wide). */
juce::File updaterInstanceLockFile();

/** Lets one test at a time on this machine run the real updater, since the updater's
    single-instance lock is machine-wide: it waits for the other tests that run it, then for any
    other copy of the updater to end. */
class UpdaterRunGuard
{
public:
    UpdaterRunGuard();
    ~UpdaterRunGuard();

    /** Empty when the updater may run; otherwise why not. */
    const juce::String& problem() const { return m_problem; }

    UpdaterRunGuard (const UpdaterRunGuard&) = delete;
    UpdaterRunGuard& operator= (const UpdaterRunGuard&) = delete;

private:
    int m_fd = -1;
    juce::String m_problem;
};

/** Holds the updater's single-instance lock the way a running copy does, without listening for
    later starts (a copy that cannot be reached). */
class InstanceLockHolder
{
public:
    InstanceLockHolder();
    ~InstanceLockHolder();

    bool isHeld() const { return m_fd >= 0; }

    InstanceLockHolder (const InstanceLockHolder&) = delete;
    InstanceLockHolder& operator= (const InstanceLockHolder&) = delete;

private:
    int m_fd = -1;
};

/** Starts the built updater with the arguments, on the test's display. */
std::unique_ptr<ChildProgram> startUpdater (const juce::StringArray& arguments = {});

/** Waits until the program shows a window; returns its viewable windows then, or none when
    it showed none within the time or ended. */
std::vector<XSession::WindowId> waitForWindows (XSession& session, ChildProgram& program,
                                                int timeoutMs = 30000);

}  // namespace qvxtest

#pragma once

#include "support/TemporaryFolder.h"

#include <juce_core/juce_core.h>

#include <optional>
#include <sys/types.h>

namespace qvxtest
{

/** A program started as a child process with the test's environment; its standard output and
    error go to files that the test can read. A child still running when the object goes is
    killed and reaped. */
class ChildProgram
{
public:
    ChildProgram (const juce::String& path, const juce::StringArray& arguments);
    ~ChildProgram();

    bool isStarted() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }

    /** Returns whether the signal could be sent (false once the child was reaped). */
    bool sendSignal (int signalNumber);

    /** Waits for the child to end, at most timeoutMs. Returns its wait status (as waitpid gives
        it), or nothing while it still runs. */
    std::optional<int> waitForExit (int timeoutMs);

    /** True once the child has ended (it is then reaped). Does not wait. */
    bool hasExited();

    juce::String standardOutput() const { return m_output.loadFileAsString(); }
    juce::String standardError() const { return m_error.loadFileAsString(); }

    /** "exit code N" or "signal N", for messages. */
    static juce::String describeStatus (int status);

    /** True when the text holds a report of AddressSanitizer, LeakSanitizer, UBSan or TSan. */
    static bool holdsSanitizerReport (const juce::String& text);

    ChildProgram (const ChildProgram&) = delete;
    ChildProgram& operator= (const ChildProgram&) = delete;

private:
    TemporaryFolder m_folder;
    juce::File m_output;
    juce::File m_error;
    pid_t m_pid = -1;
    std::optional<int> m_status;
};

}  // namespace qvxtest

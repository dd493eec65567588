#include "platform/desktop/RunningCopy.h"
#include "support/MessageLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <optional>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using platform::passToRunningCopy;
using platform::RunningCopyListener;

namespace
{

/** A program name of this test process alone, so that tests running at the same time on the
    machine (as the same user) never meet. */
juce::String uniqueProgramName()
{
    return "QvxRunningCopyTest-" + juce::String (::getpid()) + "-" +
           juce::String::toHexString (juce::Random::getSystemRandom().nextInt64());
}

/** Runs passToRunningCopy on a thread of its own, as a second copy would, while the test's
    message thread takes the start. */
class SecondCopy
{
public:
    SecondCopy (const juce::String& name, const juce::String& commandLine, int timeoutMs)
        : m_thread (
              [this, name, commandLine, timeoutMs]
              {
                  m_result = passToRunningCopy (name, commandLine, timeoutMs);
                  m_done = true;
              })
    {
    }

    ~SecondCopy() { m_thread.join(); }

    /** Pumps the message loop until the copy is done; returns what passToRunningCopy returned. */
    std::optional<bool> result (int timeoutMs = 10000)
    {
        if (!qvxtest::pumpUntil ([this] { return m_done.load(); }, timeoutMs))
            return std::nullopt;

        return m_result.load();
    }

private:
    std::atomic<bool> m_done{ false };
    std::atomic<bool> m_result{ false };
    std::thread m_thread;
};

/** The channel's socket address, as any process could aim at it by hand. */
struct RawAddress
{
    explicit RawAddress (const juce::String& name)
    {
        address.sun_family = AF_UNIX;
        const auto text = (name + "." + juce::String (::geteuid())).toStdString();
        std::memcpy (address.sun_path + 1, text.data(), text.size());
        length = static_cast<socklen_t> (offsetof (sockaddr_un, sun_path) + 1 + text.size());
    }

    const sockaddr* get() const { return reinterpret_cast<const sockaddr*> (&address); }

    sockaddr_un address = {};
    socklen_t length = 0;
};

struct Starts
{
    juce::StringArray commandLines;
    std::function<void (const juce::String&)> callback()
    {
        return [this] (const juce::String& commandLine) { commandLines.add (commandLine); };
    }
};

}  // namespace

TEST (RunningCopy, TheRunningCopyGetsEachCommandLineExactly)
{
    const auto name = uniqueProgramName();
    Starts starts;
    RunningCopyListener listener (name, starts.callback());
    ASSERT_TRUE (listener.isListening());

    const juce::String commandLines[] = {
        "",
        "--help",
        "qvx720__v999.bin \"two words\" -x",
        juce::String::fromUTF8 (u8"Ünïcødé ✓"),
        juce::String::repeatedString ("0123456789", 5000),  // more than one socket buffer read
    };

    for (const auto& commandLine : commandLines)
    {
        SecondCopy copy (name, commandLine, 5000);
        EXPECT_EQ (copy.result(), std::optional<bool> (true)) << commandLine.substring (0, 40);
    }

    // Each start is taken before passToRunningCopy returns, so they arrive in order.
    ASSERT_EQ (starts.commandLines.size(), static_cast<int> (std::size (commandLines)));
    for (int i = 0; i < starts.commandLines.size(); ++i)
        EXPECT_EQ (starts.commandLines[i], commandLines[i]) << "start " << i;
}

TEST (RunningCopy, AnOverlongCommandLineIsCutButTheStartStillCounts)
{
    const auto name = uniqueProgramName();
    Starts starts;
    RunningCopyListener listener (name, starts.callback());

    const auto huge = juce::String::repeatedString ("x", 200 * 1024);
    SecondCopy copy (name, huge, 5000);
    EXPECT_EQ (copy.result(), std::optional<bool> (true));

    ASSERT_EQ (starts.commandLines.size(), 1);
    EXPECT_EQ (starts.commandLines[0], huge.substring (0, 64 * 1024));
}

TEST (RunningCopy, WithNobodyListeningTheHandOverFailsAfterItsTimeout)
{
    SecondCopy copy (uniqueProgramName(), "--help", 300);
    EXPECT_EQ (copy.result(), std::optional<bool> (false));
}

TEST (RunningCopy, AStartWaitsForACopyThatIsStillStarting)
{
    const auto name = uniqueProgramName();
    Starts starts;
    SecondCopy copy (name, "late", 5000);

    qvxtest::pumpFor (200);
    RunningCopyListener listener (name, starts.callback());

    EXPECT_EQ (copy.result(), std::optional<bool> (true));
    EXPECT_EQ (starts.commandLines, juce::StringArray ("late"));
}

TEST (RunningCopy, ProgramNamesStayApartAndOneNameHasOneListener)
{
    const auto name = uniqueProgramName();
    Starts starts;
    RunningCopyListener listener (name, starts.callback());
    ASSERT_TRUE (listener.isListening());

    Starts secondStarts;
    RunningCopyListener second (name, secondStarts.callback());
    EXPECT_FALSE (second.isListening());

    SecondCopy other (name + "-other", "--help", 300);
    EXPECT_EQ (other.result(), std::optional<bool> (false));
    EXPECT_TRUE (starts.commandLines.isEmpty());
}

TEST (RunningCopy, TheChannelCanBeOpenedAgainOnceTheRunningCopyHasGone)
{
    const auto name = uniqueProgramName();
    Starts starts;
    {
        RunningCopyListener first (name, starts.callback());
        ASSERT_TRUE (first.isListening());
    }

    RunningCopyListener again (name, starts.callback());
    ASSERT_TRUE (again.isListening());
    SecondCopy copy (name, "again", 5000);
    EXPECT_EQ (copy.result(), std::optional<bool> (true));
    EXPECT_EQ (starts.commandLines, juce::StringArray ("again"));
}

TEST (RunningCopy, ACopyThatSendsNothingAndStaysDoesNotBlockOthers)
{
    const auto name = uniqueProgramName();
    Starts starts;
    RunningCopyListener listener (name, starts.callback());

    // A process of the same user that connects and then hangs.
    const int silent = ::socket (AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const RawAddress address (name);
    ASSERT_EQ (::connect (silent, address.get(), address.length), 0);

    SecondCopy copy (name, "after", 5000);
    EXPECT_EQ (copy.result(), std::optional<bool> (true));
    EXPECT_EQ (starts.commandLines, juce::StringArray ("after"));
    ::close (silent);
}

TEST (RunningCopy, StartsOfOtherUsersAreIgnored)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";

    const auto name = uniqueProgramName();
    Starts starts;
    RunningCopyListener listener (name, starts.callback());

    // Another user aims at this user's channel directly (its own passToRunningCopy would look
    // for a channel of its own user).
    const RawAddress address (name);
    const char message[] = "from another user";

    const pid_t child = ::fork();
    if (child == 0)
    {
        // Only async-signal-safe calls here: the test process has threads.
        if (::setgid (65534) != 0 || ::setuid (65534) != 0)
            ::_exit (2);
        const int fd = ::socket (AF_UNIX, SOCK_STREAM, 0);
        if (fd < 0 || ::connect (fd, address.get(), address.length) != 0)
            ::_exit (3);
        [[maybe_unused]] const auto sent = ::send (fd, message, sizeof (message) - 1, MSG_NOSIGNAL);
        ::shutdown (fd, SHUT_WR);
        char byte;
        [[maybe_unused]] const auto received = ::recv (fd, &byte, 1, 0);  // until the copy closes
        ::_exit (0);
    }

    ASSERT_GT (child, 0);
    int status = 0;
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return ::waitpid (child, &status, WNOHANG) == child; }, 10000));
    ASSERT_TRUE (WIFEXITED (status));
    ASSERT_EQ (WEXITSTATUS (status), 0) << "the other user's process could not connect";

    // A start of this user, taken after the other one, shows the other one was seen and dropped.
    SecondCopy copy (name, "mine", 5000);
    EXPECT_EQ (copy.result(), std::optional<bool> (true));
    EXPECT_EQ (starts.commandLines, juce::StringArray ("mine"));
}

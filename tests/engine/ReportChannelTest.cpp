#include "platform/io/ReportChannel.h"
#include "support/MessageLoop.h"

#include <juce_events/juce_events.h>
#include <juce_events/native/juce_linux_EventLoopInternal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{

/** A SOCK_SEQPACKET pair in place of a hidraw node: the channel gets one end, the test the other. */
struct SocketPair
{
    SocketPair() { EXPECT_EQ (::socketpair (AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends), 0); }
    ~SocketPair()
    {
        for (const int end : ends)
            if (end >= 0)
                ::close (end);
    }

    /** The channel's end, handed over. */
    int take() { return std::exchange (ends[0], -1); }

    /** One packet from the test's end, or empty when none is waiting. */
    std::vector<uint8_t> receive() const
    {
        std::vector<uint8_t> packet (8192);
        const auto got = ::recv (ends[1], packet.data(), packet.size(), MSG_DONTWAIT);
        packet.resize (got > 0 ? static_cast<size_t> (got) : 0);
        return packet;
    }

    int ends[2] = { -1, -1 };
};

bool isWatched (int fd)
{
    const auto fds = juce::LinuxEventLoopInternal::getRegisteredFds();
    return std::find (fds.begin(), fds.end(), fd) != fds.end();
}

}  // namespace

TEST (ReportChannel, WritesTheReportNumberFirstInOnePacket)
{
    SocketPair pair;
    auto channel = std::make_shared<platform::ReportChannel> (pair.take());

    struct Case
    {
        uint8_t number;
        std::vector<uint8_t> data;
    };
    const Case cases[] = {
        { 0x00, std::vector<uint8_t> (64, 0xA5) },
        { 0x00, { 0xF0 } },
        { 0x05, { 1, 2, 3 } },
    };

    for (const auto& c : cases)
    {
        ASSERT_TRUE (channel->write (c.number, c.data.data(), c.data.size()));
        std::vector<uint8_t> expected (c.data.size() + 1, c.number);
        std::copy (c.data.begin(), c.data.end(), expected.begin() + 1);
        EXPECT_EQ (pair.receive(), expected);
    }

    EXPECT_FALSE (channel->write (0, cases[0].data.data(), 0));
    EXPECT_FALSE (channel->write (0, nullptr, 64));
    EXPECT_TRUE (pair.receive().empty());

    channel->close();
    EXPECT_FALSE (channel->write (0, cases[0].data.data(), 64));
}

TEST (ReportChannel, ReadsEachReportWholeOnTheMessageThreadUntilTheDeviceHangsUp)
{
    SocketPair pair;
    const int fd = pair.ends[0];
    auto channel = std::make_shared<platform::ReportChannel> (pair.take());

    std::vector<std::vector<uint8_t>> reports;
    bool onMessageThread = true;
    channel->startReading (
        [&] (const uint8_t* report, size_t length)
        {
            onMessageThread = onMessageThread && juce::MessageManager::existsAndIsCurrentThread();
            reports.emplace_back (report, report + length);
        });
    EXPECT_TRUE (isWatched (fd));

    const std::vector<std::vector<uint8_t>> sent = { std::vector<uint8_t> (64, 0xF0),
                                                     { 0xF1, 9 },
                                                     std::vector<uint8_t> (70, 0xF2) };
    for (const auto& report : sent)
        ASSERT_EQ (::send (pair.ends[1], report.data(), report.size(), 0),
                   static_cast<ssize_t> (report.size()));

    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return reports.size() == sent.size(); }));
    EXPECT_EQ (reports, sent);
    EXPECT_TRUE (onMessageThread);

    // Unplugged: the event loop must stop watching, or it would call back for ever.
    ::shutdown (pair.ends[1], SHUT_WR);
    EXPECT_TRUE (qvxtest::pumpUntil ([&] { return !isWatched (fd); }));
    channel->close();
}

TEST (ReportChannel, OnlyENODEVOrTheHangUpSaysTheDeviceHasGone)
{
    SocketPair pair;
    auto channel = std::make_shared<platform::ReportChannel> (pair.take());
    bool ended = false;
    channel->startReading ([] (const uint8_t*, size_t) {}, [&] { ended = true; });

    // A USB transfer cut short as the cable goes, a stall, a pty's error, a short write: none
    // proves by itself that a device whose node is still there has gone.
    const int unproven[] = { EPROTO, EILSEQ, ETIME, ESHUTDOWN, EPIPE, EIO, EMSGSIZE };

    for (const auto errorNumber : unproven)
        EXPECT_FALSE (channel->failedBecauseDeviceHasGone (errorNumber)) << std::strerror (errorNumber);
    EXPECT_TRUE (channel->failedBecauseDeviceHasGone (ENODEV));

    // Once the node has hung up, any failure is the device's going.
    ::shutdown (pair.ends[1], SHUT_RDWR);
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return ended; })) << "the hang-up was never seen";

    for (const auto errorNumber : unproven)
        EXPECT_TRUE (channel->failedBecauseDeviceHasGone (errorNumber)) << std::strerror (errorNumber);
    channel->close();
}

TEST (ReportChannel, AnEmptyReportIsNotTheEnd)
{
    // A socket reads no bytes both for an empty packet and for a peer that has gone; only the
    // second is the end.
    SocketPair pair;
    const int fd = pair.ends[0];
    auto channel = std::make_shared<platform::ReportChannel> (pair.take());

    std::vector<std::vector<uint8_t>> reports;
    int ends = 0;
    channel->startReading ([&] (const uint8_t* report, size_t length)
                           { reports.emplace_back (report, report + length); },
                           [&] { ++ends; });

    const std::vector<uint8_t> answer = { 0xF0, 0x82, 0x20, 0x19 };
    ASSERT_EQ (::send (pair.ends[1], answer.data(), 0, 0), 0);
    ASSERT_EQ (::send (pair.ends[1], answer.data(), answer.size(), 0), static_cast<ssize_t> (answer.size()));

    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return !reports.empty() || ends != 0; }))
        << "neither the answer nor the end came";
    EXPECT_EQ (reports, std::vector<std::vector<uint8_t>>{ answer });
    EXPECT_EQ (ends, 0);
    EXPECT_TRUE (isWatched (fd));
    channel->close();
}

TEST (ReportChannel, EndsOnceWhenTheDeviceGoesAfterTheReportsItSent)
{
    struct Case
    {
        const char* name;
        std::function<void (int&)> leave;
    };

    const Case cases[] = {
        { "peer closed (POLLHUP)", [] (int& end) { ::close (std::exchange (end, -1)); } },
        { "peer shut both ways (POLLHUP)", [] (int& end) { ::shutdown (end, SHUT_RDWR); } },
        { "peer can send no more (POLLRDHUP)", [] (int& end) { ::shutdown (end, SHUT_WR); } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        SocketPair pair;
        const int fd = pair.ends[0];
        auto channel = std::make_shared<platform::ReportChannel> (pair.take());

        size_t reports = 0;
        int ends = 0;
        channel->startReading ([&] (const uint8_t*, size_t) { ++reports; },
                               [&]
                               {
                                   ++ends;
                                   // As the link does: the device is let go at once.
                                   channel->close();
                               });

        const uint8_t answer[] = { 0xF0, 0x80 };
        ASSERT_EQ (::send (pair.ends[1], answer, sizeof (answer), 0), 2);
        ASSERT_EQ (::send (pair.ends[1], answer, 0, 0), 0);
        ASSERT_EQ (::send (pair.ends[1], answer, sizeof (answer), 0), 2);
        c.leave (pair.ends[1]);

        ASSERT_TRUE (qvxtest::pumpUntil ([&] { return ends != 0; })) << reports << " reports, no end";
        qvxtest::pumpFor (20);
        EXPECT_EQ (reports, 2u);
        EXPECT_EQ (ends, 1);
        EXPECT_FALSE (isWatched (fd));
    }
}

TEST (ReportChannel, CloseDuringItsOwnCallbackIsSafe)
{
    SocketPair pair;
    auto channel = std::make_shared<platform::ReportChannel> (pair.take());
    int calls = 0;
    channel->startReading (
        [&] (const uint8_t*, size_t)
        {
            ++calls;
            channel->close();
            channel.reset();
        });

    const uint8_t report[] = { 0xF0, 1 };
    ASSERT_EQ (::send (pair.ends[1], report, sizeof (report), 0), 2);
    ASSERT_EQ (::send (pair.ends[1], report, sizeof (report), 0), 2);
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return calls == 1; }));
    qvxtest::pumpFor (20);
    EXPECT_EQ (calls, 1);
}

TEST (ReportChannel, AWriterNeverReachesAFileThatReusedTheClosedNumber)
{
    for (int round = 0; round < 20; ++round)
    {
        SocketPair first;
        const int number = first.ends[0];
        auto channel = std::make_shared<platform::ReportChannel> (first.take());

        std::atomic<bool> stop{ false };
        std::atomic<int> written{ 0 };
        std::thread writer (
            [&]
            {
                const uint8_t report[64] = { 0xF7 };
                while (!stop)
                    if (channel->write (0, report, sizeof (report)))
                        ++written;
                    else
                        std::this_thread::yield();
            });

        // The device side keeps reading, as a device does, so that no write blocks for good.
        std::atomic<bool> closed{ false };
        std::thread reader (
            [&]
            {
                while (!closed)
                    if (first.receive().empty())
                        std::this_thread::yield();
            });

        while (written < 5)
            std::this_thread::yield();
        channel->close();
        closed = true;
        reader.join();

        // The next descriptor the system hands out takes the freed number.
        SocketPair second;
        EXPECT_EQ (second.ends[0], number);
        std::this_thread::sleep_for (std::chrono::milliseconds (2));
        stop = true;
        writer.join();

        EXPECT_TRUE (second.receive().empty()) << "round " << round;
        ::close (second.take());
    }
}

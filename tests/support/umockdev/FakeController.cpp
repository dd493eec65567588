#include "support/umockdev/FakeController.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

namespace qvxtest
{

namespace
{

/** Report number and report, as the program writes each output report to a hidraw node. */
constexpr size_t writtenReportSize = 1 + reportSize;

bool writeAll (int fd, const uint8_t* data, size_t length)
{
    while (length > 0)
    {
        const auto written = ::write (fd, data, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        length -= static_cast<size_t> (written);
    }
    return true;
}

}  // namespace

FakeController::FakeController (UmockdevTestbed& testbed, UsbHidDevice device)
    : m_testbed (testbed)
    , m_device (std::move (device))
{
    if (::pipe2 (m_wakeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        ADD_FAILURE() << "pipe2 failed";

    m_server = std::thread ([this] { serve(); });
}

FakeController::~FakeController()
{
    m_stopping = true;
    if (m_wakeFds[1] >= 0)
        (void)!::write (m_wakeFds[1], "x", 1);
    m_server.join();

    unplug();

    for (const int fd : m_wakeFds)
        if (fd >= 0)
            ::close (fd);
}

bool FakeController::plug()
{
    UsbHidDevice device;
    {
        const std::lock_guard<std::mutex> guard (m_lock);
        if (m_unplugging)
            return false;
        if (m_plugged)
            return true;

        if (m_everPlugged)
        {
            ++m_device.hidInstance;
            ++m_device.hidrawNumber;
        }
        m_everPlugged = true;
        device = m_device;
    }

    if (!m_testbed.plug (device))
        return false;

    const int master = device.withNode ? m_testbed.nodeMaster (device.node()) : -1;
    {
        const std::lock_guard<std::mutex> guard (m_lock);
        Node node;
        node.master = master;
        node.plugged = true;
        m_nodes.push_back (std::move (node));
        m_plugged = true;
    }

    // The server polls the new node from now on.
    (void)!::write (m_wakeFds[1], "x", 1);
    m_changed.notify_all();
    return true;
}

void FakeController::unplug()
{
    std::unique_lock<std::mutex> lock (m_lock);
    unplugLocked (lock);
}

void FakeController::unplugLocked (std::unique_lock<std::mutex>& lock)
{
    if (!m_plugged || m_unplugging)
        return;

    // Nothing is answered from now on; the controller counts as gone once the bed is told.
    m_unplugging = true;
    for (auto& node : m_nodes)
        node.plugged = false;

    const auto device = m_device;
    lock.unlock();
    m_testbed.unplug (device);
    lock.lock();

    m_unplugging = false;
    m_plugged = false;
    m_changed.notify_all();
}

bool FakeController::hasHungUp() const
{
    const std::lock_guard<std::mutex> guard (m_lock);
    return m_hungUp;
}

bool FakeController::isPlugged() const
{
    const std::lock_guard<std::mutex> guard (m_lock);
    return m_plugged;
}

UsbHidDevice FakeController::device() const
{
    const std::lock_guard<std::mutex> guard (m_lock);
    return m_device;
}

void FakeController::setAnswering (bool answering)
{
    const std::lock_guard<std::mutex> guard (m_lock);
    m_answering = answering;
}

bool FakeController::sendInputReport (const std::vector<uint8_t>& report)
{
    const std::lock_guard<std::mutex> guard (m_lock);
    if (!m_plugged || m_unplugging || m_nodes.empty() || m_nodes.back().master < 0)
        return false;

    return writeAll (m_nodes.back().master, report.data(), report.size());
}

std::vector<std::vector<uint8_t>> FakeController::outputReports() const
{
    const std::lock_guard<std::mutex> guard (m_lock);
    return m_outputReports;
}

size_t FakeController::outputReportCount() const
{
    const std::lock_guard<std::mutex> guard (m_lock);
    return m_outputReports.size();
}

std::vector<uint8_t> FakeController::lastOutputReport() const
{
    const std::lock_guard<std::mutex> guard (m_lock);
    return m_outputReports.empty() ? std::vector<uint8_t>() : m_outputReports.back();
}

size_t FakeController::bytesWrittenAfterUnplug() const
{
    const std::lock_guard<std::mutex> guard (m_lock);
    return m_bytesAfterUnplug;
}

bool FakeController::waitUntil (const std::function<bool()>& condition, int timeoutMs) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds (timeoutMs);

    for (;;)
    {
        if (condition())
            return true;

        std::unique_lock<std::mutex> lock (m_lock);
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return false;

        m_changed.wait_for (lock, std::min<std::chrono::steady_clock::duration> (
                                      deadline - now, std::chrono::milliseconds (50)));
    }
}

void FakeController::serve()
{
    while (!m_stopping)
    {
        std::vector<pollfd> fds{ { m_wakeFds[0], POLLIN, 0 } };
        {
            const std::lock_guard<std::mutex> guard (m_lock);
            for (const auto& node : m_nodes)
                if (node.master >= 0 && !node.abandoned)
                    fds.push_back ({ node.master, POLLIN, 0 });
        }

        if (::poll (fds.data(), fds.size(), 50) < 0)
            continue;

        bool readSomething = (fds[0].revents & POLLIN) != 0;
        if (readSomething)
        {
            char drain[16];
            while (::read (m_wakeFds[0], drain, sizeof (drain)) > 0)
            {
            }
        }

        for (size_t i = 1; i < fds.size(); ++i)
        {
            if ((fds[i].revents & POLLIN) == 0)
            {
                // A master reports a hang-up while no one has the node open. Once an unplugged
                // node is closed, it would only wake every poll from then on.
                if ((fds[i].revents & POLLHUP) != 0)
                {
                    const std::lock_guard<std::mutex> guard (m_lock);
                    for (auto& node : m_nodes)
                        if (node.master == fds[i].fd && !node.plugged)
                            node.abandoned = true;
                }
                continue;
            }

            readSomething = true;
            std::unique_lock<std::mutex> lock (m_lock);
            const auto found = std::find_if (m_nodes.begin(), m_nodes.end(),
                                             [&] (const Node& node) { return node.master == fds[i].fd; });
            if (found != m_nodes.end())
            {
                lock.unlock();
                readFrom (*found);
            }
        }

        // The node of the plugged controller reports a hang-up until the program opens it.
        if (!readSomething)
            std::this_thread::sleep_for (std::chrono::milliseconds (5));
    }
}

void FakeController::readFrom (Node& node)
{
    uint8_t buffer[4096];
    const auto got = ::read (node.master, buffer, sizeof (buffer));

    // EIO: nobody has the node open.
    if (got <= 0)
        return;

    std::vector<std::vector<uint8_t>> reports;
    {
        const std::lock_guard<std::mutex> guard (m_lock);

        if (!node.plugged)
        {
            m_bytesAfterUnplug += static_cast<size_t> (got);
            m_changed.notify_all();
            return;
        }

        node.pending.insert (node.pending.end(), buffer, buffer + got);
        while (node.pending.size() >= writtenReportSize)
        {
            reports.emplace_back (node.pending.begin(), node.pending.begin() + writtenReportSize);
            node.pending.erase (node.pending.begin(), node.pending.begin() + writtenReportSize);
            m_outputReports.push_back (reports.back());
        }
    }

    m_changed.notify_all();

    for (const auto& report : reports)
        handleReport (report);
}

void FakeController::handleReport (const std::vector<uint8_t>& written)
{
    {
        const std::lock_guard<std::mutex> guard (m_lock);
        if (!m_answering || !m_plugged || m_unplugging)
            return;
    }

    ReportBytes request{};
    std::copy (written.begin() + 1, written.end(), request.begin());
    const auto reply = model.handle (request);

    if (reply.remove)
    {
        std::unique_lock<std::mutex> lock (m_lock);
        unplugLocked (lock);
        return;
    }

    // A node that hangs up right after its answer holds the program's writes back from before the
    // answer on, so that no request gets through in between: the hang-up then fails them. Failing
    // writes are armed before the answer for the same reason.
    const auto hangsUp = reply.then == ControllerModel::Reply::Then::hangUp;
    const int heldNode = hangsUp && !reply.answers.empty() ? holdProgramsWrites() : -1;
    if (reply.then == ControllerModel::Reply::Then::failWrites ||
        reply.then == ControllerModel::Reply::Then::refuseWrites)
        failProgramsWrites (reply.writeError);

    for (const auto& answer : reply.answers)
    {
        if (reply.delayMs > 0)
            std::this_thread::sleep_for (std::chrono::milliseconds (reply.delayMs));

        sendInputReport (std::vector<uint8_t> (answer.begin(), answer.end()));
    }

    switch (reply.then)
    {
        case ControllerModel::Reply::Then::nothing:
            break;
        case ControllerModel::Reply::Then::hangUp:
            hangUpNode (heldNode);
            break;
        case ControllerModel::Reply::Then::failWrites:
            std::this_thread::sleep_for (std::chrono::milliseconds (reply.hangUpAfterMs));
            hangUpNode (-1);
            // Hung up, the node fails the writes by itself, as after any other hang-up.
            failProgramsWrites (0);
            break;
        case ControllerModel::Reply::Then::refuseWrites:
            break;
    }
}

// The preload library answers ioctls on the node itself, so these go to the kernel directly.

int FakeController::holdProgramsWrites()
{
    // The program's writes wait while the terminal's output is stopped.
    const auto node = device().node();
    const int fd = ::open (node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 || ::syscall (SYS_ioctl, fd, TCXONC, TCOOFF) != 0)
        ADD_FAILURE() << "cannot stop the output of " << node << ": " << std::strerror (errno);
    return fd;
}

void FakeController::hangUpNode (int heldNode)
{
    // The program's end of the pty hangs up, as a hidraw node does whose device has gone: its
    // reads see a hang-up and its writes fail with EIO. The bed still shows the device. Hanging
    // up needs CAP_SYS_ADMIN.
    const auto node = device().node();
    const int fd =
        heldNode >= 0 ? heldNode : ::open (node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 || ::syscall (SYS_ioctl, fd, TIOCVHANGUP, 0) != 0)
        ADD_FAILURE() << "cannot hang up " << node << ": " << std::strerror (errno);
    if (fd >= 0)
        ::close (fd);

    const std::lock_guard<std::mutex> guard (m_lock);
    m_hungUp = true;
    m_changed.notify_all();
}

bool FakeController::failProgramsWrites (int errorNumber)
{
    const char* control = std::getenv ("QVX_FAILING_WRITES");
    if (control == nullptr || *control == '\0')
    {
        if (errorNumber == 0)
            return true;
        ADD_FAILURE() << "the model fails the program's writes, but QVX_FAILING_WRITES is not set: the "
                         "program must run with the failing-writes preload library "
                         "(ProgramWithFakeController::letControllerFailWrites)";
        return false;
    }

    const std::string path (control);
    if (errorNumber == 0)
        return ::unlink (path.c_str()) == 0 || errno == ENOENT;

    int master = -1;
    {
        const std::lock_guard<std::mutex> guard (m_lock);
        if (!m_nodes.empty())
            master = m_nodes.back().master;
    }

    // The library knows the node by the pty's end that the program has open.
    char programsEnd[128];
    if (master < 0 || ::ptsname_r (master, programsEnd, sizeof (programsEnd)) != 0)
    {
        ADD_FAILURE() << "the node of " << device().node() << " is not a pty";
        return false;
    }

    // Renamed into place whole: a write of the program never reads half of it.
    const auto text = std::to_string (errorNumber) + " " + programsEnd + "\n";
    const auto temporary = path + ".new";
    const int fd = ::open (temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const bool written =
        fd >= 0 && writeAll (fd, reinterpret_cast<const uint8_t*> (text.data()), text.size());
    if (fd >= 0)
        ::close (fd);

    if (!written || ::rename (temporary.c_str(), path.c_str()) != 0)
    {
        ADD_FAILURE() << "cannot write " << path << ": " << std::strerror (errno);
        return false;
    }
    return true;
}

}  // namespace qvxtest

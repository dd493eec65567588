#include "support/SimulatedHid.h"

#include "platform/io/ReportChannel.h"

#include <juce_events/juce_events.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <sys/socket.h>
#include <unistd.h>

namespace qvxtest
{

namespace
{

class SimulatedBackend;

/** The attached devices and the backends that watch them. Each change has a number, so that a
    backend that started after a change does not hear of it twice. */
class Bus
{
public:
    static Bus& get()
    {
        static Bus bus;
        return bus;
    }

    std::shared_ptr<SimulatedHidDevice> attach (platform::HidProperties properties)
    {
        std::shared_ptr<SimulatedHidDevice> device;
        uint64_t change = 0;
        {
            const std::lock_guard<std::mutex> guard (m_lock);
            device = std::make_shared<SimulatedHidDevice> ("simulated-" + std::to_string (++m_nextId),
                                                           std::move (properties));
            m_devices.push_back (device);
            change = ++m_changes;
        }

        juce::MessageManager::callAsync ([this, device, change] { tell (change, device, true); });
        return device;
    }

    void detach (const std::shared_ptr<SimulatedHidDevice>& device)
    {
        uint64_t change = 0;
        {
            const std::lock_guard<std::mutex> guard (m_lock);
            const auto found = std::find (m_devices.begin(), m_devices.end(), device);
            if (found == m_devices.end())
                return;
            m_devices.erase (found);
            change = ++m_changes;
        }

        juce::MessageManager::callAsync ([this, device, change] { tell (change, device, false); });
    }

    /** The devices there now, and the number of the last change they include. */
    std::vector<std::shared_ptr<SimulatedHidDevice>> start (SimulatedBackend* backend, uint64_t& change)
    {
        const std::lock_guard<std::mutex> guard (m_lock);
        m_backends.push_back (backend);
        change = m_changes;
        return m_devices;
    }

    void stop (SimulatedBackend* backend)
    {
        const std::lock_guard<std::mutex> guard (m_lock);
        m_backends.erase (std::remove (m_backends.begin(), m_backends.end(), backend), m_backends.end());
    }

    std::shared_ptr<SimulatedHidDevice> find (const SimulatedHidDevice* device)
    {
        const std::lock_guard<std::mutex> guard (m_lock);
        for (auto& attached : m_devices)
            if (attached.get() == device)
                return attached;
        return nullptr;
    }

    std::vector<std::shared_ptr<SimulatedHidDevice>> attached()
    {
        const std::lock_guard<std::mutex> guard (m_lock);
        return m_devices;
    }

    std::atomic<bool> failNextStart{ false };

private:
    void tell (uint64_t change, const std::shared_ptr<SimulatedHidDevice>& device, bool attached);

    std::mutex m_lock;
    std::vector<std::shared_ptr<SimulatedHidDevice>> m_devices;
    std::vector<SimulatedBackend*> m_backends;
    uint64_t m_changes = 0;
    uint64_t m_nextId = 0;
};

platform::HidDeviceDescription describe (const std::shared_ptr<SimulatedHidDevice>& device)
{
    platform::HidDeviceDescription description;
    description.id = device->id();
    description.node = "simulated:" + device->id();
    description.properties = device->properties;
    description.openReportChannel = [weak = std::weak_ptr<SimulatedHidDevice> (device)]
    {
        const auto opened = weak.lock();
        return opened != nullptr ? opened->openForProgram() : -ENODEV;
    };
    return description;
}

class SimulatedBackend : public platform::HidBackend
{
public:
    ~SimulatedBackend() override
    {
        if (m_listener != nullptr)
            Bus::get().stop (this);
    }

    bool start (Listener& listener) override
    {
        if (Bus::get().failNextStart.exchange (false))
            return false;

        m_listener = &listener;
        for (const auto& device : Bus::get().start (this, m_startedAfter))
            listener.deviceAttached (describe (device));
        return true;
    }

    /** Message thread. */
    void tell (uint64_t change, const std::shared_ptr<SimulatedHidDevice>& device, bool attached)
    {
        if (change <= m_startedAfter)
            return;

        if (attached)
            m_listener->deviceAttached (describe (device));
        else
            m_listener->deviceDetached (device->id());
    }

private:
    Listener* m_listener = nullptr;
    uint64_t m_startedAfter = 0;
};

void Bus::tell (uint64_t change, const std::shared_ptr<SimulatedHidDevice>& device, bool attached)
{
    std::vector<SimulatedBackend*> backends;
    {
        const std::lock_guard<std::mutex> guard (m_lock);
        backends = m_backends;
    }

    for (auto* backend : backends)
        backend->tell (change, device, attached);
}

}  // namespace

//==============================================================================
SimulatedHidDevice::SimulatedHidDevice (std::string id, platform::HidProperties props)
    : m_id (std::move (id))
    , properties (std::move (props))
{
}

SimulatedHidDevice::~SimulatedHidDevice()
{
    std::thread reader;
    {
        const std::lock_guard<std::mutex> guard (m_lock);
        if (m_deviceFd >= 0)
            ::shutdown (m_deviceFd, SHUT_RDWR);
        reader = std::move (m_reader);
    }

    if (reader.joinable())
        reader.join();

    if (m_deviceFd >= 0)
        ::close (m_deviceFd);
}

int SimulatedHidDevice::openForProgram()
{
    std::unique_lock<std::mutex> lock (m_lock);

    if (m_removed)
        return -ENODEV;
    if (m_failOpenWith != 0)
        return -std::exchange (m_failOpenWith, 0);
    if (m_open)
        return -EBUSY;

    // The program closed the previous channel; its reader has read everything and is ending.
    if (m_reader.joinable())
    {
        auto previous = std::move (m_reader);
        lock.unlock();
        previous.join();
        lock.lock();
    }
    if (m_deviceFd >= 0)
        ::close (std::exchange (m_deviceFd, -1));

    int ends[2];
    if (::socketpair (AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0)
        return -errno;

    m_deviceFd = ends[1];
    m_programFd = ends[0];
    m_failingSends = nullptr;
    m_open = true;
    ++m_openCount;
    m_reader = std::thread ([this, fd = ends[1]] { readOutputReports (fd); });
    return ends[0];
}

void SimulatedHidDevice::readOutputReports (int fd)
{
    std::vector<uint8_t> buffer (platform::ReportChannel::maxReportLength + 1);
    for (;;)
    {
        const auto got = ::recv (fd, buffer.data(), buffer.size(), 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;

        OutputReport report;
        report.reportNumber = buffer[0];
        report.bytes.assign (buffer.begin() + 1, buffer.begin() + got);

        std::shared_ptr<std::function<void (const OutputReport&)>> hook;
        {
            const std::lock_guard<std::mutex> guard (m_lock);
            m_outputReports.push_back (report);
            hook = m_hook;
            m_hookRunning = hook != nullptr && *hook;
        }
        m_changed.notify_all();

        if (hook != nullptr && *hook)
        {
            (*hook) (report);
            {
                const std::lock_guard<std::mutex> guard (m_lock);
                m_hookRunning = false;
            }
            m_changed.notify_all();
        }
    }

    {
        const std::lock_guard<std::mutex> guard (m_lock);
        m_open = false;
    }
    m_changed.notify_all();
}

bool SimulatedHidDevice::sendInputReport (const std::vector<uint8_t>& report)
{
    const std::lock_guard<std::mutex> guard (m_lock);

    if (!m_open || m_removed || m_deviceFd < 0)
        return false;

    const auto sent = ::send (m_deviceFd, report.data(), report.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    return sent == static_cast<ssize_t> (report.size());
}

void SimulatedHidDevice::remove()
{
    {
        const std::lock_guard<std::mutex> guard (m_lock);
        if (m_removed)
            return;
        m_removed = true;

        // What a hidraw node does when its device goes: the program's reads end.
        if (m_deviceFd >= 0)
            ::shutdown (m_deviceFd, SHUT_WR);
    }

    if (auto attached = Bus::get().find (this))
        Bus::get().detach (attached);
}

void SimulatedHidDevice::hangUp()
{
    const std::lock_guard<std::mutex> guard (m_lock);
    if (m_deviceFd >= 0)
        ::shutdown (m_deviceFd, SHUT_RDWR);
}

void SimulatedHidDevice::failOutputReports (int errorNumber)
{
    const std::lock_guard<std::mutex> guard (m_lock);
    if (m_open && m_programFd >= 0)
        m_failingSends = std::make_unique<FailingSends> (m_programFd, errorNumber);
}

std::vector<OutputReport> SimulatedHidDevice::outputReports() const
{
    const std::lock_guard<std::mutex> guard (m_lock);
    return m_outputReports;
}

bool SimulatedHidDevice::waitForOutputReports (size_t count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock (m_lock);
    return m_changed.wait_for (lock, std::chrono::milliseconds (timeoutMs),
                               [&] { return m_outputReports.size() >= count; });
}

void SimulatedHidDevice::setOutputReportHook (std::function<void (const OutputReport&)> hook)
{
    std::unique_lock<std::mutex> lock (m_lock);
    m_hook = std::make_shared<std::function<void (const OutputReport&)>> (std::move (hook));

    // The owner of the old hook may go once this returns: a call of it under way ends first,
    // unless this is that call.
    if (std::this_thread::get_id() != m_reader.get_id())
        m_changed.wait (lock, [&] { return !m_hookRunning; });
}

bool SimulatedHidDevice::isOpen() const
{
    const std::lock_guard<std::mutex> guard (m_lock);
    return m_open;
}

bool SimulatedHidDevice::waitUntilClosed (int timeoutMs) const
{
    std::unique_lock<std::mutex> lock (m_lock);
    return m_changed.wait_for (lock, std::chrono::milliseconds (timeoutMs), [&] { return !m_open; });
}

void SimulatedHidDevice::failNextOpen (int errorNumber)
{
    const std::lock_guard<std::mutex> guard (m_lock);
    m_failOpenWith = errorNumber;
}

int SimulatedHidDevice::openCount() const
{
    const std::lock_guard<std::mutex> guard (m_lock);
    return m_openCount;
}

//==============================================================================
platform::HidBackendFactory SimulatedHid::backend()
{
    return [] { return std::make_unique<SimulatedBackend>(); };
}

std::shared_ptr<SimulatedHidDevice> SimulatedHid::attach (platform::HidProperties properties)
{
    return Bus::get().attach (std::move (properties));
}

std::shared_ptr<SimulatedHidDevice> SimulatedHid::attachController (int64_t versionNumber, int64_t locationId)
{
    return attach ({ { "VendorID", int64_t{ 0x5E21 } },
                     { "ProductID", int64_t{ 0x0026 } },
                     { "VersionNumber", versionNumber },
                     { "LocationID", locationId } });
}

void SimulatedHid::failNextStart()
{
    Bus::get().failNextStart = true;
}

void SimulatedHid::reset()
{
    for (const auto& device : Bus::get().attached())
        device->remove();

    Bus::get().failNextStart = false;
}

}  // namespace qvxtest

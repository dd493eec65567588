// The controller link over the real Linux backend: real libudev enumerates, monitors and opens
// what a umockdev test bed holds (a faked sysfs with /dev nodes), in this process.
#include "hid/HidCtrl.h"
#include "platform/io/HidBackend.h"
#include "support/MessageLoop.h"
#include "support/PrivateNamespaces.h"
#include "support/RecordingHidHandler.h"
#include "support/StderrCapture.h"
#include "support/umockdev/FakeController.h"
#include "support/umockdev/UmockdevTestbed.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/fsuid.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using qvxtest::FakeController;
using qvxtest::UmockdevTestbed;
using qvxtest::UsbHidDevice;

namespace
{

// Generous: the message loop of a sanitizer build on a loaded machine.
constexpr int eventTimeoutMs = 10000;

UsbHidDevice usbHid (const char* hostController, int bus, const char* ports, const char* vendor,
                     const char* product, const char* release, int number)
{
    UsbHidDevice device;
    device.hostController = hostController;
    device.busNumber = bus;
    device.ports = ports;
    device.idVendor = vendor;
    device.idProduct = product;
    device.bcdDevice = release;
    device.hidInstance = number;
    device.hidrawNumber = number;
    return device;
}

/** Notes whether anything opens the file (following a link to it), from now on. */
class OpenWatch
{
public:
    explicit OpenWatch (const std::string& path)
        : m_fd (::inotify_init1 (IN_NONBLOCK | IN_CLOEXEC))
    {
        if (m_fd < 0 || ::inotify_add_watch (m_fd, path.c_str(), IN_OPEN) < 0)
            ADD_FAILURE() << "cannot watch " << path << ": " << std::strerror (errno);
    }

    ~OpenWatch()
    {
        if (m_fd >= 0)
            ::close (m_fd);
    }

    bool wasOpened()
    {
        alignas (inotify_event) char buffer[sizeof (inotify_event) + NAME_MAX + 1];
        while (::read (m_fd, buffer, sizeof (buffer)) > 0)
            m_opened = true;
        return m_opened;
    }

private:
    int m_fd = -1;
    bool m_opened = false;
};

/** An empty /run of the test's own while it lives, holding udevd's control socket file or not:
    the backend listens to udevd's events when it finds that file, else to the kernel's. */
class ScopedRunFolder
{
public:
    explicit ScopedRunFolder (bool udevdRuns)
    {
        if (::mount ("tmpfs", "/run", "tmpfs", MS_NOSUID | MS_NODEV, "mode=0755") != 0)
        {
            m_problem = std::string ("tmpfs on /run: ") + std::strerror (errno);
            return;
        }
        m_mounted = true;

        if (udevdRuns &&
            (::mkdir ("/run/udev", 0755) != 0 || ::close (::creat ("/run/udev/control", 0600)) != 0))
            m_problem = std::string ("/run/udev/control: ") + std::strerror (errno);
    }

    ~ScopedRunFolder()
    {
        if (m_mounted)
            ::umount2 ("/run", MNT_DETACH);
    }

    const std::string& problem() const { return m_problem; }

private:
    bool m_mounted = false;
    std::string m_problem;
};

/** This thread opens files as an ordinary user would (its filesystem user and group), while the
    object lives. Root's power over file modes goes with it and comes back afterwards. */
class ScopedFilesystemUser
{
public:
    ScopedFilesystemUser (uid_t user, gid_t group)
        : m_oldGroup (static_cast<gid_t> (::setfsgid (group)))
        , m_oldUser (static_cast<uid_t> (::setfsuid (user)))
    {
    }

    ~ScopedFilesystemUser()
    {
        ::setfsuid (m_oldUser);
        ::setfsgid (m_oldGroup);
    }

    /** Whether the switch took effect (setfsuid answers with the user in force). */
    bool isInEffect (uid_t user) const
    {
        return static_cast<uid_t> (::setfsuid (static_cast<uid_t> (-1))) == user;
    }

private:
    gid_t m_oldGroup;
    uid_t m_oldUser;
};

std::vector<uint8_t> withReportNumber (const uint8_t* report, size_t length)
{
    std::vector<uint8_t> written{ 0x00 };
    written.insert (written.end(), report, report + length);
    return written;
}

struct LinuxControllerLink : testing::Test
{
    void TearDown() override { ctrl.finalize(); }

    /** 64 bytes that a terminal would change if the node were not raw: line ends, ^C, ^D, ^S,
        DEL and zeros among them. */
    static std::array<uint8_t, 64> request()
    {
        std::array<uint8_t, 64> bytes{};
        bytes[0] = 0xF0;
        bytes[1] = 0x01;
        const uint8_t special[] = { 0x0A, 0x0D, 0x03, 0x04, 0x13, 0x11, 0x7F, 0x00, 0x1A, 0xFF };
        for (size_t i = 2; i < bytes.size(); ++i)
            bytes[i] = i - 2 < sizeof (special) ? special[i - 2] : static_cast<uint8_t> (i * 37);
        return bytes;
    }

    static std::vector<uint8_t> answer (uint8_t first, uint8_t seed)
    {
        std::vector<uint8_t> bytes (64);
        bytes[0] = first;
        const uint8_t special[] = { 0x82, 0x0D, 0x0A, 0x03, 0x1C, 0x15, 0x04, 0x00 };
        for (size_t i = 1; i < bytes.size(); ++i)
            bytes[i] = i - 1 < sizeof (special) ? special[i - 1] : static_cast<uint8_t> (seed + i * 11);
        return bytes;
    }

    /** Sends a request through the link and answers it from the controller: both ways over the
        node. */
    void exchange (FakeController& controller, uint8_t seed)
    {
        const auto before = controller.outputReports().size();
        auto bytes = request();
        bytes[63] = seed;
        ASSERT_TRUE (ctrl.sendData (bytes.data(), bytes.size()));
        ASSERT_TRUE (controller.waitUntil ([&] { return controller.outputReports().size() == before + 1; },
                                           eventTimeoutMs));
        EXPECT_EQ (controller.outputReports().back(), withReportNumber (bytes.data(), bytes.size()));

        const auto inputs = owner.inputArguments.size();
        const auto reply = answer (0xF0, seed);
        ASSERT_TRUE (controller.sendInputReport (reply));
        ASSERT_TRUE (
            qvxtest::pumpUntil ([&] { return owner.inputArguments.size() == inputs + 1; }, eventTimeoutMs))
            << "no answer reached the link";
        EXPECT_EQ (ctrl.m_recvLength, 64u);
        EXPECT_EQ (std::vector<uint8_t> (ctrl.m_recvBuffer, ctrl.m_recvBuffer + 64), reply);
    }

    UmockdevTestbed testbed;
    qvxtest::RecordingHidHandler owner;
    HidCtrl ctrl{ platform::createLinuxHidBackend };
};

}  // namespace

TEST_F (LinuxControllerLink, TakesTheControllerNearestTheFirstPortAndOpensNoOtherDevice)
{
    // udev lists them by sysfs path, the host controller at 14.0 first; by location (bus, then
    // ports) the 1d.0 devices on bus 1 come first, the one of another product before ours.
    const auto laterController =
        usbHid ("/devices/pci0000:00/0000:00:14.0", 3, "4", "5e21", "0026", "0123", 1);
    const auto keyboard = usbHid ("/devices/pci0000:00/0000:00:14.0", 3, "1", "046d", "c31c", "6400", 2);
    const auto otherProduct =
        usbHid ("/devices/pci0000:00/0000:00:1d.0", 1, "1.1", "5e21", "0027", "0100", 3);
    const auto nearest = usbHid ("/devices/pci0000:00/0000:00:1d.0", 1, "1.2", "5e21", "0026", "0210", 4);

    FakeController later (testbed, laterController);
    FakeController controller (testbed, nearest);
    later.setAnswering (false);
    controller.setAnswering (false);
    ASSERT_TRUE (later.plug());
    ASSERT_TRUE (testbed.plug (keyboard));
    ASSERT_TRUE (testbed.plug (otherProduct));
    ASSERT_TRUE (controller.plug());

    const auto root = testbed.rootDir();
    OpenWatch laterOpened (root + laterController.node());
    OpenWatch keyboardOpened (root + keyboard.node());
    OpenWatch otherProductOpened (root + otherProduct.node());

    ASSERT_EQ (ctrl.initialize (&owner, 1), 1);
    EXPECT_EQ (ctrl.m_version, 210) << "not the controller with the lowest location";
    exchange (controller, 1);

    qvxtest::pumpFor (100);
    EXPECT_TRUE (later.outputReports().empty());
    EXPECT_FALSE (laterOpened.wasOpened());
    EXPECT_FALSE (keyboardOpened.wasOpened());
    EXPECT_FALSE (otherProductOpened.wasOpened());
    EXPECT_EQ (owner.matchings, 0);
}

namespace
{

struct MonitorSource
{
    const char* name;
    bool udevdRuns;
};

void PrintTo (const MonitorSource& source, std::ostream* stream)
{
    *stream << source.name;
}

struct LinuxControllerLinkEvents : LinuxControllerLink, testing::WithParamInterface<MonitorSource>
{
};

}  // namespace

TEST_P (LinuxControllerLinkEvents, FollowsArrivalAndRemovalThroughUevents)
{
    if (!qvxtest::hasPrivateNamespaces())
        GTEST_SKIP() << "needs a mount namespace of its own (root) to choose what /run holds";

    ScopedRunFolder run (GetParam().udevdRuns);
    ASSERT_TRUE (run.problem().empty()) << run.problem();

    const auto keyboard = usbHid ("/devices/pci0000:00/0000:00:14.0", 1, "1", "046d", "c31c", "6400", 0);
    const auto mouse = usbHid ("/devices/pci0000:00/0000:00:14.0", 1, "3", "046d", "c077", "7200", 1);
    FakeController controller (
        testbed, usbHid ("/devices/pci0000:00/0000:00:14.0", 1, "2", "5e21", "0026", "0123", 10));
    controller.setAnswering (false);

    ASSERT_TRUE (testbed.plug (keyboard));
    ASSERT_EQ (ctrl.initialize (&owner, 1), 0);

    // Another HID device arrives first: refused, never opened. Its event comes before the
    // controller's, so it has been dealt with once the controller is announced.
    ASSERT_TRUE (testbed.plug (mouse));
    const auto root = testbed.rootDir();
    OpenWatch keyboardOpened (root + keyboard.node());
    OpenWatch mouseOpened (root + mouse.node());

    ASSERT_TRUE (controller.plug());
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return owner.matchings == 1; }, eventTimeoutMs))
        << "the controller's arrival was not seen";
    EXPECT_EQ (ctrl.m_connected, 1);
    EXPECT_EQ (ctrl.m_version, 123);
    exchange (controller, 2);

    controller.unplug();
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return owner.removals == 1; }, eventTimeoutMs))
        << "the controller's removal was not seen";
    EXPECT_EQ (ctrl.m_connected, 0);
    EXPECT_EQ (ctrl.m_version, 0);
    auto bytes = request();
    EXPECT_FALSE (ctrl.sendData (bytes.data(), bytes.size()));

    // Plugged in again, it shows as a new device (the next hidraw node) and is taken again.
    ASSERT_TRUE (controller.plug());
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return owner.matchings == 2; }, eventTimeoutMs))
        << "the controller's second arrival was not seen";
    exchange (controller, 3);

    qvxtest::pumpFor (100);
    EXPECT_EQ (owner.removals, 1);
    EXPECT_EQ (controller.bytesWrittenAfterUnplug(), 0u);
    EXPECT_FALSE (keyboardOpened.wasOpened());
    EXPECT_FALSE (mouseOpened.wasOpened());
}

INSTANTIATE_TEST_SUITE_P (MonitorSources, LinuxControllerLinkEvents,
                          testing::Values (MonitorSource{ "kernel", false }, MonitorSource{ "udev", true }),
                          [] (const auto& info) { return std::string (info.param.name); });

TEST_F (LinuxControllerLink, AControllerWithoutANodeIsTakenButNothingIsSent)
{
    // A number that no real node of this machine has: the preload passes a node that the bed
    // lacks on to the real /dev.
    int number = 40;
    while (::access (("/dev/hidraw" + std::to_string (number)).c_str(), F_OK) == 0)
        ++number;

    auto device = usbHid ("/devices/pci0000:00/0000:00:14.0", 1, "2", "5e21", "0026", "0123", number);
    device.withNode = false;
    ASSERT_TRUE (testbed.plug (device));

    ASSERT_EQ (ctrl.initialize (&owner, 1), 1);
    auto bytes = request();
    EXPECT_FALSE (ctrl.sendData (bytes.data(), bytes.size()));
    EXPECT_FALSE (ctrl.sendData (bytes.data(), bytes.size()));
    qvxtest::pumpFor (50);
    EXPECT_EQ (ctrl.m_connected, 1);
}

TEST_F (LinuxControllerLink, ANodeTheUserMayNotOpenIsNamedWithTheReasonAndNothingIsSent)
{
    // As without the udev rule: the node belongs to root and only root may use it.
    FakeController controller (
        testbed, usbHid ("/devices/pci0000:00/0000:00:14.0", 1, "2", "5e21", "0026", "0123", 3));
    controller.setAnswering (false);
    ASSERT_TRUE (controller.plug());

    const auto root = testbed.rootDir();
    char pty[PATH_MAX] = {};
    ASSERT_NE (::realpath ((root + "/dev/hidraw3").c_str(), pty), nullptr);
    ASSERT_EQ (::chown (pty, 0, 0), 0);
    ASSERT_EQ (::chmod (pty, 0600), 0);
    // The user must see the bed itself, as they see /sys and /dev, and reach the socket through
    // which the preload library hands each open of a node to the bed, even one that fails.
    ASSERT_EQ (::chmod (root.c_str(), 0755), 0);
    ASSERT_EQ (::chmod ((root + "/ioctl").c_str(), 0755), 0);
    ASSERT_EQ (::chmod ((root + "/ioctl/_default").c_str(), 0777), 0);

    qvxtest::StderrCapture capture;
    auto bytes = request();
    {
        const uid_t nobody = 65534;
        ScopedFilesystemUser user (nobody, nobody);
        ASSERT_TRUE (user.isInEffect (nobody));

        ASSERT_EQ (ctrl.initialize (&owner, 1), 1);
        EXPECT_FALSE (ctrl.sendData (bytes.data(), bytes.size()));
    }

    const auto messages = capture.text();
    EXPECT_NE (messages.find ("/dev/hidraw3"), std::string::npos) << messages;
    EXPECT_NE (messages.find (std::strerror (EACCES)), std::string::npos) << messages;

    qvxtest::pumpFor (50);
    EXPECT_TRUE (controller.outputReports().empty());
}

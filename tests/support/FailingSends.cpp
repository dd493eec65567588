#include "support/FailingSends.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <dlfcn.h>
#include <mutex>
#include <sys/socket.h>
#include <sys/stat.h>
#include <vector>

namespace
{

struct FailingSocket
{
    dev_t device;
    ino_t inode;
    int errorNumber;
};

std::mutex failingLock;
std::vector<FailingSocket>& failingSockets()
{
    static std::vector<FailingSocket> sockets;
    return sockets;
}
/** How many sockets fail: a send looks further only when there is one. */
std::atomic<int> failingCount{ 0 };

using SendFunction = ssize_t (*) (int, const void*, size_t, int);

SendFunction nextSend()
{
    static const auto next = reinterpret_cast<SendFunction> (dlsym (RTLD_NEXT, "send"));
    return next;
}

/** The errno that sends on fd fail with, or 0. */
int failureOf (int fd)
{
    struct stat status
    {
    };
    if (::fstat (fd, &status) != 0)
        return 0;

    const std::lock_guard<std::mutex> guard (failingLock);
    for (const auto& socket : failingSockets())
        if (socket.device == status.st_dev && socket.inode == status.st_ino)
            return socket.errorNumber;
    return 0;
}

}  // namespace

extern "C" ssize_t send (int fd, const void* buffer, size_t length, int flags)
{
    if (failingCount.load() > 0)
    {
        if (const auto failure = failureOf (fd); failure != 0)
        {
            errno = failure;
            return -1;
        }
    }

    return nextSend() (fd, buffer, length, flags);
}

namespace qvxtest
{

FailingSends::FailingSends (int fd, int errorNumber)
{
    struct stat status
    {
    };
    if (::fstat (fd, &status) != 0)
        return;

    m_device = status.st_dev;
    m_inode = status.st_ino;

    const std::lock_guard<std::mutex> guard (failingLock);
    failingSockets().push_back ({ m_device, m_inode, errorNumber });
    ++failingCount;
}

FailingSends::~FailingSends()
{
    const std::lock_guard<std::mutex> guard (failingLock);
    auto& sockets = failingSockets();
    const auto found =
        std::find_if (sockets.begin(), sockets.end(),
                      [this] (const FailingSocket& s) { return s.device == m_device && s.inode == m_inode; });
    if (found == sockets.end())
        return;

    sockets.erase (found);
    --failingCount;
}

}  // namespace qvxtest

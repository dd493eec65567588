#include "support/PrivateNamespaces.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>

namespace qvxtest
{

namespace
{
bool entered = false;
}  // namespace

std::string enterPrivateNamespaces()
{
    if (::unshare (CLONE_NEWNS | CLONE_NEWNET) != 0)
        return std::string ("unshare: ") + std::strerror (errno);

    // Mounts made here must not travel back to the machine's own namespace.
    if (::mount (nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return std::string ("making / private: ") + std::strerror (errno);

    if (::mount ("tmpfs", "/var/tmp", "tmpfs", MS_NOSUID | MS_NODEV, "mode=1777") != 0)
        return std::string ("tmpfs on /var/tmp: ") + std::strerror (errno);

    entered = true;
    return {};
}

bool hasPrivateNamespaces()
{
    return entered;
}

void forgetDisplay()
{
    // Xlib cannot parse this name, so no connection is ever attempted.
    ::setenv ("DISPLAY", ":no-display-for-this-test", 1);
}

}  // namespace qvxtest

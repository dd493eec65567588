#pragma once

#include <sys/types.h>

namespace qvxtest
{

/** Makes the program's sends on one socket fail with a chosen errno, without sending: the way a
    write to a USB controller fails while it is being pulled out (EPROTO, EILSEQ, ETIME,
    ESHUTDOWN) or while its endpoint is stalled (EPIPE), which no socket does by itself. This
    unit defines send() for the executable that links it and hands every other send on to the C
    library (or to the sanitizer's interceptor in front of it).

    The socket is known by its inode, so it stays the same whatever number the program holds it
    under. Any thread. */
class FailingSends
{
public:
    /** From now on every send on the socket that fd refers to fails with errorNumber, until this
        object goes. */
    FailingSends (int fd, int errorNumber);
    ~FailingSends();

    FailingSends (const FailingSends&) = delete;
    FailingSends& operator= (const FailingSends&) = delete;

private:
    dev_t m_device = 0;
    ino_t m_inode = 0;
};

}  // namespace qvxtest

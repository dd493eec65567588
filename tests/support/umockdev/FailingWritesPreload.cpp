// A preload library of the tests' own: it makes a program's writes to one device node fail with a
// chosen errno, as the writes to a USB controller that is being pulled out fail (EPROTO, EILSEQ,
// ETIME, ESHUTDOWN) or to one whose endpoint stalls (EPIPE). The pty that umockdev puts behind a
// /dev node cannot do that. It defines write(2) alone and knows nothing of the program.
//
// Armed through a control file whose path is in QVX_FAILING_WRITES: while the file exists it holds
// an errno and the node's path as the kernel names the open file, "71 /dev/pts/3", and every write
// to that file fails with that errno without reaching it. Whoever arms it replaces the file whole
// (a rename), so that a write never sees half of it. Everything else goes on to the next write(2)
// of the preload chain (umockdev's, then the C library's).
//
// Its own calls are system calls: the library sits inside the sanitizers' and umockdev's wrappers
// and must not go through them again.

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace
{

using WriteFunction = ssize_t (*) (int, const void*, size_t);

/** The control file's path; empty: never armed. Set at load, before the program has threads. */
char controlPath[4096];

WriteFunction nextWrite()
{
    static const auto next = reinterpret_cast<WriteFunction> (dlsym (RTLD_NEXT, "write"));
    return next;
}

__attribute__ ((constructor)) void readControlPath()
{
    const char* path = std::getenv ("QVX_FAILING_WRITES");
    if (path != nullptr && std::strlen (path) < sizeof (controlPath))
        std::strcpy (controlPath, path);

    nextWrite();
}

struct Armed
{
    int errorNumber = 0;
    char node[512];
};

/** What the control file says, or false when there is none: one failed open per write. */
bool readControlFile (Armed& armed)
{
    if (controlPath[0] == '\0')
        return false;

    const long fd = ::syscall (SYS_openat, AT_FDCWD, controlPath, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;

    char text[sizeof (armed.node) + 16];
    const long got = ::syscall (SYS_read, fd, text, sizeof (text) - 1);
    ::syscall (SYS_close, fd);
    if (got <= 0)
        return false;
    text[got] = '\0';

    const char* c = text;
    for (; *c >= '0' && *c <= '9'; ++c)
        armed.errorNumber = armed.errorNumber * 10 + (*c - '0');
    if (armed.errorNumber == 0 || *c != ' ')
        return false;

    size_t length = 0;
    for (++c; c[length] != '\0' && c[length] != '\n' && length + 1 < sizeof (armed.node); ++length)
        armed.node[length] = c[length];
    armed.node[length] = '\0';
    return length > 0;
}

bool sameFile (const struct statx& a, const struct statx& b)
{
    return a.stx_dev_major == b.stx_dev_major && a.stx_dev_minor == b.stx_dev_minor && a.stx_ino == b.stx_ino;
}

/** Whether fd is open on the node: the same file, whatever path or number it was opened by. */
bool writesTo (int fd, const char* node)
{
    struct statx ofFd
    {
    };
    struct statx ofNode
    {
    };
    return ::syscall (SYS_statx, fd, "", AT_EMPTY_PATH, STATX_INO, &ofFd) == 0 &&
           ::syscall (SYS_statx, AT_FDCWD, node, 0, STATX_INO, &ofNode) == 0 && sameFile (ofFd, ofNode);
}

}  // namespace

extern "C" __attribute__ ((visibility ("default"))) ssize_t write (int fd, const void* data, size_t length)
{
    // The program sees errno as the write alone leaves it.
    const int earlierError = errno;
    Armed armed;
    const bool fails = readControlFile (armed) && writesTo (fd, armed.node);

    if (fails)
    {
        errno = armed.errorNumber;
        return -1;
    }

    errno = earlierError;
    return nextWrite() (fd, data, length);
}

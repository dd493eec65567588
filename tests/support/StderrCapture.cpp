#include "support/StderrCapture.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace qvxtest
{

StderrCapture::StderrCapture()
{
    char path[] = "/tmp/qvx-stderr-XXXXXX";
    m_fileFd = ::mkstemp (path);
    ::unlink (path);

    std::fflush (stderr);
    m_savedFd = ::dup (STDERR_FILENO);
    ::dup2 (m_fileFd, STDERR_FILENO);
}

StderrCapture::~StderrCapture()
{
    std::fflush (stderr);
    ::dup2 (m_savedFd, STDERR_FILENO);
    ::close (m_savedFd);
    ::close (m_fileFd);
}

std::string StderrCapture::text() const
{
    std::fflush (stderr);

    std::string contents;
    char buffer[4096];
    for (off_t offset = 0;;)
    {
        const auto got = ::pread (m_fileFd, buffer, sizeof (buffer), offset);
        if (got <= 0)
            break;
        contents.append (buffer, static_cast<size_t> (got));
        offset += got;
    }
    return contents;
}

}  // namespace qvxtest

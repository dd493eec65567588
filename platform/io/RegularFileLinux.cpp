#include "platform/io/RegularFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

/** Reads an open regular file from its own position, so that nothing else moves it. */
class RegularFileStream : public juce::InputStream
{
public:
    RegularFileStream (int fd, juce::int64 length)
        : m_fd (fd)
        , m_length (length)
    {
    }

    ~RegularFileStream() override { ::close (m_fd); }

    juce::int64 getTotalLength() override { return m_length; }
    bool isExhausted() override { return m_position >= m_length; }
    juce::int64 getPosition() override { return m_position; }

    bool setPosition (juce::int64 position) override
    {
        if (position < 0)
            return false;

        m_position = position;
        return true;
    }

    int read (void* destination, int maxBytes) override
    {
        if (maxBytes <= 0)
            return 0;

        ssize_t got = 0;

        do
            got =
                ::pread (m_fd, destination, static_cast<size_t> (maxBytes), static_cast<off_t> (m_position));
        while (got < 0 && errno == EINTR);

        if (got <= 0)
            return 0;

        m_position += got;
        return static_cast<int> (got);
    }

private:
    const int m_fd;
    const juce::int64 m_length;
    juce::int64 m_position = 0;

    JUCE_DECLARE_NON_COPYABLE (RegularFileStream)
};

bool isRegular (const struct stat& status)
{
    return S_ISREG (status.st_mode);
}

}  // namespace

namespace platform
{

std::unique_ptr<juce::InputStream> openRegularFile (const juce::File& file)
{
    const auto path = file.getFullPathName();
    struct stat status
    {
    };

    // Anything else is not even opened: opening a device can have effects of its own.
    if (::stat (path.toRawUTF8(), &status) != 0 || !isRegular (status))
        return nullptr;

    // Something else may take the file's place in between: the open must not wait for a pipe's
    // writer, and what was opened is checked again.
    const int fd = ::open (path.toRawUTF8(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);

    if (fd < 0)
        return nullptr;

    const auto flags = ::fcntl (fd, F_GETFL);

    if (::fstat (fd, &status) != 0 || !isRegular (status) || flags < 0 ||
        ::fcntl (fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
    {
        ::close (fd);
        return nullptr;
    }

    return std::make_unique<RegularFileStream> (fd, static_cast<juce::int64> (status.st_size));
}

}  // namespace platform

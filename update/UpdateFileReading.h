#pragma once

#include <juce_core/juce_core.h>

#include <memory>

/** Opens the file for reading only when it is a regular file, and without waiting: a pipe, a
    device, a socket or a folder in its place is refused at once, where a plain open of a pipe
    waits for a writer for ever. Returns nullptr when the path names no regular file or it cannot
    be opened. The stream's total length is the file's size when it was opened. Any thread. */
std::unique_ptr<juce::InputStream> openRegularFile (const juce::File& file);

/** Reads until count bytes have come, the stream ends or a read fails, since one read may
    deliver fewer bytes than asked for. Returns how many bytes came. */
inline int readFully (juce::InputStream& stream, void* destination, int count)
{
    auto* bytes = static_cast<char*> (destination);
    int got = 0;

    while (got < count)
    {
        const auto read = stream.read (bytes + got, count - got);

        if (read <= 0)
            break;

        got += read;
    }

    return got;
}

#pragma once

#include <juce_core/juce_core.h>

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

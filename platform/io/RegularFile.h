#pragma once

#include <juce_core/juce_core.h>

#include <memory>

namespace platform
{

/** Opens the file for reading only when it is a regular file, and without waiting: a pipe, a
    device, a socket or a folder in its place is refused at once, where a plain open of a pipe
    waits for a writer for ever. Returns nullptr when the path names no regular file or it cannot
    be opened. The stream's total length is the file's size when it was opened. Any thread. */
std::unique_ptr<juce::InputStream> openRegularFile (const juce::File& file);

}  // namespace platform

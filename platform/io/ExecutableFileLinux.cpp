#include "platform/io/ExecutableFile.h"

namespace platform
{

juce::File getRunningExecutableFile()
{
    // JUCE's currentExecutableFile joins the working folder with argv[0] when the program was
    // found through PATH, so ask the kernel instead.
    const juce::File self ("/proc/self/exe");
    return self.isSymbolicLink() ? self.getLinkedTarget() : juce::File();
}

}  // namespace platform

#pragma once

#include <string>

namespace qvxtest
{

/** Gives this process, and every program it starts afterwards, a /var/tmp and a network of
    their own (Linux mount and network namespaces), so that the updater's machine-wide
    single-instance lock and its abstract socket never meet a copy that another test run on the
    machine started. Call it before any thread starts. Needs root (CAP_SYS_ADMIN); returns an
    empty string when done, else why not, and the process then stays as it was. */
std::string enterPrivateNamespaces();

/** Whether enterPrivateNamespaces() succeeded in this process: mounts made from now on stay in
    it and the programs it starts. */
bool hasPrivateNamespaces();

/** Points DISPLAY at no display at all, on purpose: a test process that opens no window must
    never reach an X server that happens to run on the machine (JUCE falls back to ":0.0" when
    DISPLAY is unset). */
void forgetDisplay();

}  // namespace qvxtest

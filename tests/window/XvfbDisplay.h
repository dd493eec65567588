#pragma once

#include <string>
#include <sys/types.h>

struct _XDisplay;

namespace qvxtest
{

/** An Xvfb server started for this process, stopped when the object goes (and by the kernel when
    this process dies first). Its log goes to QVX_TEST_ARTEFACTS/xvfb.log. */
class XvfbServer
{
public:
    XvfbServer() = default;
    ~XvfbServer();

    /** Starts it and waits until it takes clients. Returns the display name (":N"), or "" on
        failure. Call before any thread starts: it forks. The server does not inherit LD_PRELOAD,
        so a library preloaded into the tests stays out of it. */
    std::string start();

    XvfbServer (const XvfbServer&) = delete;
    XvfbServer& operator= (const XvfbServer&) = delete;

private:
    pid_t m_pid = -1;
};

/** Creates, on the display of DISPLAY, the atoms that a desktop's window manager brings. JUCE
    writes a window's hints (no buttons, fixed size, always on top, close protocol) only through
    atoms that already exist. Returns the connection, or null; keep it open while the tests run:
    a bare X server forgets its atoms when its last client leaves. */
_XDisplay* createWindowManagerAtoms();

/** The display of a test process: an Xvfb server of its own, made the process's DISPLAY, with the
    window manager's atoms held while the object lives. Make it before any thread starts and before
    JUCE opens the display; on failure it says why on standard error and isOpen() is false. */
class OwnDisplay
{
public:
    OwnDisplay();
    ~OwnDisplay();

    bool isOpen() const { return m_atomsConnection != nullptr; }

    OwnDisplay (const OwnDisplay&) = delete;
    OwnDisplay& operator= (const OwnDisplay&) = delete;

private:
    XvfbServer m_server;
    _XDisplay* m_atomsConnection = nullptr;
};

}  // namespace qvxtest

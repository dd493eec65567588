// Kept apart from JUCE code: Xlib's headers define KeyPress, Window and friends as macros.
#include "window/XTestInput.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace qvxtest
{

namespace
{
Display* asDisplay (void* display)
{
    return static_cast<Display*> (display);
}
}  // namespace

XTestInput::XTestInput()
    : m_display (XOpenDisplay (nullptr))
{
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    m_hasXTest = m_display != nullptr &&
                 XTestQueryExtension (asDisplay (m_display), &eventBase, &errorBase, &major, &minor);
}

XTestInput::~XTestInput()
{
    if (m_display != nullptr)
        XCloseDisplay (asDisplay (m_display));
}

void XTestInput::returnKey (bool press)
{
    if (!isAvailable())
        return;

    auto* display = asDisplay (m_display);
    XTestFakeKeyEvent (display, XKeysymToKeycode (display, XK_Return), press ? True : False, CurrentTime);
    XSync (display, False);
}

void XTestInput::moveTo (int x, int y)
{
    if (!isAvailable())
        return;

    auto* display = asDisplay (m_display);
    XTestFakeMotionEvent (display, DefaultScreen (display), x, y, CurrentTime);
    XSync (display, False);
}

void XTestInput::leftButton (bool press)
{
    if (!isAvailable())
        return;

    auto* display = asDisplay (m_display);
    XTestFakeButtonEvent (display, 1, press ? True : False, CurrentTime);
    XSync (display, False);
}

}  // namespace qvxtest

// Kept apart from JUCE code: Xlib's headers define KeyPress, Window and friends as macros.
#include "window/XTestKeyboard.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace qvxtest
{

XTestKeyboard::XTestKeyboard()
{
    auto* display = XOpenDisplay (nullptr);
    if (display == nullptr)
        return;

    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension (display, &eventBase, &errorBase, &major, &minor))
    {
        XCloseDisplay (display);
        return;
    }

    m_display = display;
}

XTestKeyboard::~XTestKeyboard()
{
    if (m_display != nullptr)
        XCloseDisplay (static_cast<Display*> (m_display));
}

void XTestKeyboard::focus (unsigned long window)
{
    if (m_display == nullptr)
        return;

    auto* display = static_cast<Display*> (m_display);
    XSetInputFocus (display, window, RevertToParent, CurrentTime);
    XSync (display, False);
}

void XTestKeyboard::typeReturn()
{
    if (m_display == nullptr)
        return;

    auto* display = static_cast<Display*> (m_display);
    const auto keycode = XKeysymToKeycode (display, XK_Return);
    XTestFakeKeyEvent (display, keycode, True, CurrentTime);
    XTestFakeKeyEvent (display, keycode, False, CurrentTime);
    XSync (display, False);
}

}  // namespace qvxtest

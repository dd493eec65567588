// Kept apart from JUCE code: Xlib's headers define KeyPress, Window and friends as macros.
#include "window/KeySender.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace qvxtest
{

KeySender::KeySender()
    : m_display (XOpenDisplay (nullptr))
{
}

KeySender::~KeySender()
{
    if (m_display != nullptr)
        XCloseDisplay (static_cast<Display*> (m_display));
}

void KeySender::send (unsigned long window, Key key, bool press, unsigned long time)
{
    if (m_display == nullptr)
        return;

    auto* display = static_cast<Display*> (m_display);

    XKeyEvent event{};
    event.type = press ? KeyPress : KeyRelease;
    event.display = display;
    event.window = window;
    event.root = DefaultRootWindow (display);
    event.subwindow = None;
    event.time = time;
    event.same_screen = True;
    const KeySym symbol = key == Key::returnKey ? XK_Return : key == Key::spaceKey ? XK_space : XK_Shift_L;
    event.keycode = XKeysymToKeycode (display, symbol);

    XSendEvent (display, window, True, press ? KeyPressMask : KeyReleaseMask,
                reinterpret_cast<XEvent*> (&event));
    XFlush (display);
}

}  // namespace qvxtest

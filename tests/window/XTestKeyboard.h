#pragma once

namespace qvxtest
{

/** Types on the display of DISPLAY through the X server's XTest extension, as a keyboard would:
    the server delivers the keys to the window that has the input focus, unlike KeySender's
    events, which go to a window named by the test. Needs a display; one thread at a time. */
class XTestKeyboard
{
public:
    XTestKeyboard();
    ~XTestKeyboard();

    /** False when there is no display or it lacks the XTest extension. */
    bool isConnected() const { return m_display != nullptr; }

    /** Gives the window the input focus, as a window manager does when the user clicks it. */
    void focus (unsigned long window);

    /** Presses Return and lets it go. */
    void typeReturn();

    XTestKeyboard (const XTestKeyboard&) = delete;
    XTestKeyboard& operator= (const XTestKeyboard&) = delete;

private:
    void* m_display = nullptr;
};

}  // namespace qvxtest

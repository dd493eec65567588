#pragma once

namespace qvxtest
{

/** Sends key events to a native X window over a connection of its own, as the X server would
    deliver them from a keyboard. Needs a display (DISPLAY); message thread of the test. */
class KeySender
{
public:
    KeySender();
    ~KeySender();

    bool isConnected() const { return m_display != nullptr; }

    enum class Key
    {
        returnKey,
        spaceKey,
        shiftKey
    };

    /** A press or a release of the key on the window, stamped with the given server time in
        milliseconds. JUCE follows Shift from its own key events, so Shift+Return is a Shift
        press, then Return. */
    void send (unsigned long window, Key key, bool press, unsigned long time);

private:
    void* m_display = nullptr;
};

}  // namespace qvxtest

#pragma once

namespace qvxtest
{

/** Real keyboard and mouse input through the X server's XTest extension, over a connection of
    its own (DISPLAY): the server handles it as it handles a user's keyboard and mouse, so it goes
    to whichever window has the focus or lies under the pointer, and the server's key state
    follows it. Any thread; one object per thread. */
class XTestInput
{
public:
    XTestInput();
    ~XTestInput();

    /** False when the display cannot be opened or has no XTest extension. */
    bool isAvailable() const { return m_display != nullptr && m_hasXTest; }

    /** A press or a release of the Return key, as the keyboard would send it. */
    void returnKey (bool press);

    /** Moves the pointer to the point of the root window. */
    void moveTo (int x, int y);

    /** A press or a release of the left mouse button where the pointer is. */
    void leftButton (bool press);

    XTestInput (const XTestInput&) = delete;
    XTestInput& operator= (const XTestInput&) = delete;

private:
    void* m_display = nullptr;
    bool m_hasXTest = false;
};

}  // namespace qvxtest

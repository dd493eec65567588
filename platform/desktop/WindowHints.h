#pragma once

#include <memory>

namespace platform
{

/** Holds a top-level window at one size for the window manager: the minimum and the maximum
    size in its WM_NORMAL_HINTS both equal that size, so that window managers which honour only
    these hints do not let the user resize it either.

    JUCE rewrites the hints with the position and size alone each time it sets the window's
    bounds, and also when it repaints after a pause; so the hints are watched while the object
    lives and the limits are written again after every rewrite that dropped them.

    Construct and destroy on the message thread while the window exists. The window must stay
    the same native window for the object's life. */
class FixedWindowSize
{
public:
    /** Starts holding the native window (a JUCE peer's native handle) at width x height
        physical pixels. Does nothing when the display cannot be reached. */
    FixedWindowSize (void* nativeWindow, int width, int height);
    ~FixedWindowSize();

    FixedWindowSize (const FixedWindowSize&) = delete;
    FixedWindowSize& operator= (const FixedWindowSize&) = delete;

private:
    struct Watch;
    std::unique_ptr<Watch> m_pWatch;
};

}  // namespace platform

#pragma once

namespace platform
{

/** Asks the X server to report a held key as repeated presses and one release when the key
    comes up (Xkb's detectable auto-repeat), for the display connection that JUCE reads its
    events from: every key release that JUCE passes on is then the key really coming up. Without
    it, a held key repeats as pairs of a release and a press, and JUCE tells such a release from a
    real one only by a press already queued behind it. Call it once the JUCE window system's
    display connection exists (after the first window is made). Returns false when there is no
    such connection or the server cannot do it. Message thread. */
bool useDetectableKeyRepeat();

}  // namespace platform

// Window-manager hints on X11. The hints are watched through an X connection of our own to JUCE's
// display, since JUCE's own connection tells nobody else of its events; the limits are written in
// answer to each change that JUCE made, so they land after its hints.
#include "platform/desktop/WindowHints.h"

#include "platform/desktop/JuceDisplay.h"

#include <juce_events/juce_events.h>

// After JUCE: Xlib's macros (None, Bool, Status...) must not reach JUCE's headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <string>

namespace platform
{

struct FixedWindowSize::Watch
{
    ~Watch()
    {
        juce::LinuxEventLoop::unregisterFdCallback (ConnectionNumber (display));
        XCloseDisplay (display);
    }

    // Adds the limits to what the hints hold now, so that JUCE's position and size stay; writes
    // nothing when they are there already (the answer to our own write comes back too).
    void holdTheLimits()
    {
        XSizeHints hints{};
        long supplied = 0;

        if (XGetWMNormalHints (display, window, &hints, &supplied) == 0)
            hints = XSizeHints{};

        constexpr long limits = PMinSize | PMaxSize;

        if ((hints.flags & limits) == limits && hints.min_width == width && hints.max_width == width &&
            hints.min_height == height && hints.max_height == height)
            return;

        hints.flags |= limits;
        hints.min_width = hints.max_width = width;
        hints.min_height = hints.max_height = height;
        XSetWMNormalHints (display, window, &hints);
        XFlush (display);
    }

    // Reads every event that came (the queue included, which a round trip may have filled) and
    // writes the limits again when the hints changed without them.
    void readEvents()
    {
        for (;;)
        {
            bool hintsChanged = false;

            while (XPending (display) > 0)
            {
                XEvent event;
                XNextEvent (display, &event);

                if (event.type == PropertyNotify && event.xproperty.window == window &&
                    event.xproperty.atom == XA_WM_NORMAL_HINTS)
                    hintsChanged = true;
            }

            if (!hintsChanged)
                return;

            holdTheLimits();
        }
    }

    Display* display = nullptr;
    Window window = 0;
    int width = 0;
    int height = 0;
};

FixedWindowSize::FixedWindowSize (void* nativeWindow, int width, int height)
{
    // The display that JUCE's connection goes to, whatever name it was opened by.
    std::string name;
    withJuceDisplay ([&] (Display* juceDisplay) { name = XDisplayString (juceDisplay); });

    Display* display = name.empty() ? nullptr : XOpenDisplay (name.c_str());

    if (display == nullptr)
        return;

    m_pWatch = std::make_unique<Watch>();
    m_pWatch->display = display;
    m_pWatch->window = static_cast<Window> (reinterpret_cast<uintptr_t> (nativeWindow));
    m_pWatch->width = width;
    m_pWatch->height = height;

    XSelectInput (display, m_pWatch->window, PropertyChangeMask);
    m_pWatch->holdTheLimits();

    auto* watch = m_pWatch.get();
    juce::LinuxEventLoop::registerFdCallback (ConnectionNumber (display),
                                              [watch] (int) { watch->readEvents(); });
}

FixedWindowSize::~FixedWindowSize() = default;

}  // namespace platform

#include "window/XSession.h"

// After JUCE: Xlib's macros (None, Bool, Status, ...) must not reach JUCE's headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <memory>

namespace qvxtest
{

namespace
{

// Without a handler of its own a process ends on the first X error (a window that went away
// while the test looked at it). JUCE installs a handler like this one once it starts its X
// connection; the test's connection may come first.
int ignoreXError (Display*, XErrorEvent*)
{
    return 0;
}

struct XFreeDeleter
{
    void operator() (void* data) const
    {
        if (data != nullptr)
            XFree (data);
    }
};

}  // namespace

XSession::XSession()
{
    XSetErrorHandler (ignoreXError);
    m_display = XOpenDisplay (nullptr);
}

XSession::~XSession()
{
    if (m_display == nullptr)
        return;

    for (auto window : m_ownWindows)
        XDestroyWindow (m_display, window);

    XCloseDisplay (m_display);
}

unsigned long XSession::atom (const char* name)
{
    return XInternAtom (m_display, name, False);
}

void XSession::flush()
{
    XSync (m_display, False);
}

std::vector<XSession::WindowId> XSession::viewableWindowsOf (pid_t pid)
{
    std::vector<WindowId> found;
    std::vector<Window> toVisit{ DefaultRootWindow (m_display) };

    while (!toVisit.empty())
    {
        const auto window = toVisit.back();
        toVisit.pop_back();

        const auto pids = longValues (window, "_NET_WM_PID");
        XWindowAttributes attributes;

        if (!pids.empty() && pids.front() == pid && XGetWindowAttributes (m_display, window, &attributes) &&
            attributes.map_state == IsViewable)
            found.push_back (window);

        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;

        if (XQueryTree (m_display, window, &root, &parent, &children, &count) != 0)
        {
            toVisit.insert (toVisit.end(), children, children + count);
            if (children != nullptr)
                XFree (children);
        }
    }

    return found;
}

juce::Rectangle<int> XSession::boundsOnScreen (WindowId window)
{
    XWindowAttributes attributes;
    Window child = 0;
    int x = 0, y = 0;

    if (XGetWindowAttributes (m_display, window, &attributes) == 0 ||
        !XTranslateCoordinates (m_display, window, DefaultRootWindow (m_display), 0, 0, &x, &y, &child))
        return {};

    return { x, y, attributes.width, attributes.height };
}

juce::Rectangle<int> XSession::screenBounds()
{
    return boundsOnScreen (DefaultRootWindow (m_display));
}

std::vector<long> XSession::longValues (WindowId window, const char* property)
{
    Atom actualType = 0;
    int actualFormat = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;

    if (XGetWindowProperty (m_display, window, atom (property), 0, 1024, False, AnyPropertyType, &actualType,
                            &actualFormat, &count, &remaining, &data) != Success)
        return {};

    const std::unique_ptr<unsigned char, XFreeDeleter> owner (data);

    if (actualFormat != 32 || data == nullptr)
        return {};

    // Xlib hands 32-bit items over as longs.
    const auto* values = reinterpret_cast<const long*> (data);
    return { values, values + count };
}

juce::StringArray XSession::atomNames (WindowId window, const char* property)
{
    juce::StringArray names;

    for (auto value : longValues (window, property))
    {
        const std::unique_ptr<char, XFreeDeleter> name (XGetAtomName (m_display, static_cast<Atom> (value)));
        names.add (name != nullptr ? juce::String (name.get()) : juce::String());
    }

    return names;
}

XSession::NormalHints XSession::normalHints (WindowId window)
{
    XSizeHints hints{};
    long supplied = 0;

    if (XGetWMNormalHints (m_display, window, &hints, &supplied) == 0)
        hints.flags = 0;

    const auto pair = [&hints] (long flags, int a, const char* separator, int b)
    {
        return (hints.flags & flags) != 0 ? juce::String (a) + separator + juce::String (b)
                                          : juce::String ("none");
    };

    return { pair (USPosition | PPosition, hints.x, ", ", hints.y),
             pair (PMinSize, hints.min_width, " x ", hints.min_height),
             pair (PMaxSize, hints.max_width, " x ", hints.max_height) };
}

void XSession::watchPropertyChanges (WindowId window)
{
    XWindowAttributes attributes;

    if (XGetWindowAttributes (m_display, window, &attributes) != 0)
        XSelectInput (m_display, window, attributes.your_event_mask | PropertyChangeMask);

    XSync (m_display, False);
}

int XSession::propertyChanges (WindowId window, const char* property)
{
    readEvents();
    const auto change = std::make_pair (window, static_cast<unsigned long> (atom (property)));
    return static_cast<int> (std::count (m_propertyChanges.begin(), m_propertyChanges.end(), change));
}

void XSession::expose (WindowId window)
{
    XClearArea (m_display, window, 0, 0, 0, 0, True);
    XSync (m_display, False);
}

juce::String XSession::title (WindowId window)
{
    // JUCE writes WM_NAME as UTF8_STRING, which XFetchName does not read.
    for (const auto* property : { "_NET_WM_NAME", "WM_NAME" })
    {
        Atom actualType = 0;
        int actualFormat = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;

        if (XGetWindowProperty (m_display, window, atom (property), 0, 1024, False, AnyPropertyType,
                                &actualType, &actualFormat, &count, &remaining, &data) != Success)
            continue;

        const std::unique_ptr<unsigned char, XFreeDeleter> owner (data);

        if (data != nullptr && actualFormat == 8)
            return juce::String::fromUTF8 (reinterpret_cast<const char*> (data), static_cast<int> (count));
    }

    return {};
}

XSession::WindowId XSession::focusedWindow()
{
    Window focus = 0;
    int revert = 0;
    XGetInputFocus (m_display, &focus, &revert);
    return focus;
}

bool XSession::hasFocus (WindowId window)
{
    auto current = focusedWindow();

    // Walk up from the focus: JUCE may focus a window inside its top-level one.
    while (current != 0 && current != PointerRoot)
    {
        if (current == window)
            return true;

        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;

        if (XQueryTree (m_display, current, &root, &parent, &children, &count) == 0)
            return false;

        if (children != nullptr)
            XFree (children);

        if (parent == root)
            return false;

        current = parent;
    }

    return false;
}

XSession::WindowId XSession::createFocusedWindow()
{
    const auto root = DefaultRootWindow (m_display);
    const auto window = XCreateSimpleWindow (m_display, root, 10, 10, 120, 80, 0, 0, 0x336699);
    m_ownWindows.push_back (window);
    XMapRaised (m_display, window);
    XSync (m_display, False);

    for (int attempt = 0; attempt < 200; ++attempt)
    {
        XWindowAttributes attributes;
        if (XGetWindowAttributes (m_display, window, &attributes) != 0 && attributes.map_state == IsViewable)
            break;

        juce::Thread::sleep (10);
    }

    XSetInputFocus (m_display, window, RevertToParent, CurrentTime);
    XSync (m_display, False);
    return window;
}

void XSession::requestClose (WindowId window)
{
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = atom ("WM_PROTOCOLS");
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long> (atom ("WM_DELETE_WINDOW"));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent (m_display, window, False, NoEventMask, &event);
    XSync (m_display, False);
}

void XSession::watchActivationRequests()
{
    XSelectInput (m_display, DefaultRootWindow (m_display), SubstructureNotifyMask);
    XSync (m_display, False);
}

void XSession::readEvents()
{
    const auto activeWindow = atom ("_NET_ACTIVE_WINDOW");

    while (XPending (m_display) > 0)
    {
        XEvent event;
        XNextEvent (m_display, &event);

        if (event.type == ClientMessage && event.xclient.message_type == activeWindow)
            m_activationRequests.push_back (event.xclient.window);
        else if (event.type == PropertyNotify)
            m_propertyChanges.emplace_back (event.xproperty.window, event.xproperty.atom);
    }
}

bool XSession::activationWasRequested (WindowId window)
{
    readEvents();
    return std::find (m_activationRequests.begin(), m_activationRequests.end(), window) !=
           m_activationRequests.end();
}

juce::Image XSession::capture (WindowId window)
{
    const auto bounds = boundsOnScreen (window);

    if (bounds.isEmpty())
        return {};

    XImage* pixels = XGetImage (m_display, window, 0, 0, static_cast<unsigned int> (bounds.getWidth()),
                                static_cast<unsigned int> (bounds.getHeight()), AllPlanes, ZPixmap);

    if (pixels == nullptr)
        return {};

    // Only 24-bit true colour, as the test's Xvfb runs it.
    const auto channel = [] (unsigned long pixel, unsigned long mask)
    {
        int shift = 0;
        while (mask != 0 && (mask & 1) == 0)
        {
            mask >>= 1;
            ++shift;
        }
        return static_cast<juce::uint8> ((pixel >> shift) & mask & 0xff);
    };

    juce::Image image (juce::Image::RGB, bounds.getWidth(), bounds.getHeight(), false);

    for (int y = 0; y < bounds.getHeight(); ++y)
        for (int x = 0; x < bounds.getWidth(); ++x)
        {
            const auto pixel = XGetPixel (pixels, x, y);
            image.setPixelAt (x, y,
                              juce::Colour (channel (pixel, pixels->red_mask),
                                            channel (pixel, pixels->green_mask),
                                            channel (pixel, pixels->blue_mask)));
        }

    XDestroyImage (pixels);
    return image;
}

juce::File XSession::saveScreenshot (WindowId window, const juce::String& name)
{
    const auto image = capture (window);

    if (!image.isValid())
        return {};

    const juce::File folder (QVX_TEST_ARTEFACTS);
    folder.createDirectory();
    const auto file = folder.getChildFile (name + ".png");
    file.deleteFile();

    juce::FileOutputStream stream (file);
    juce::PNGImageFormat png;

    if (!stream.openedOk() || !png.writeImageToStream (image, stream))
        return {};

    return file;
}

bool canOpenDisplay (const char* name)
{
    auto* display = XOpenDisplay (name);

    if (display == nullptr)
        return false;

    XCloseDisplay (display);
    return true;
}

XSession::WindowId windowIdOf (juce::Component& window)
{
    if (auto* peer = window.getPeer())
        return reinterpret_cast<XSession::WindowId> (peer->getNativeHandle());

    return 0;
}

}  // namespace qvxtest

#include "ui/MainWindow.h"

#include "platform/desktop/KeyRepeat.h"
#include "ui/MainComponent.h"

MainWindow::MainWindow (EngineSettings settings)
    : juce::DocumentWindow ("QVX-720 update program", juce::Colour (234, 234, 234), 0, true)
{
    // The order matters: the title-bar height read for the size is that of JUCE's own title
    // bar, and the native title bar replaces it afterwards, so that the content ends up filling
    // the whole 406 x 154 client area.
    m_pMainComponent = new MainComponent (std::move (settings));
    m_pMainComponent->setSize (404, 126);
    setContentOwned (m_pMainComponent, true);
    setResizable (false, false);
    centreWithSize (m_pMainComponent->getWidth() + 2,
                    getTitleBarHeight() + m_pMainComponent->getHeight() + 2);
    setAlwaysOnTop (true);
    setUsingNativeTitleBar (true);

    // Some window managers honour only the size limits of WM_NORMAL_HINTS, which JUCE leaves out.
    // The native title bar has given the window its last native window, at its final size.
    if (auto* peer = getPeer())
    {
        const auto size = juce::Desktop::getInstance().getDisplays().logicalToPhysical (peer->getBounds());
        m_pFixedSize = std::make_unique<platform::FixedWindowSize> (peer->getNativeHandle(), size.getWidth(),
                                                                    size.getHeight());
    }

    // The keyboard goes to the screen's buttons, never to the window itself (see below).
    setWantsKeyboardFocus (false);

    setVisible (true);

    // Return clicks the buttons when it comes up: a held key must not come up with every repeat.
    // JUCE's display connection exists now that the window does.
    platform::useDetectableKeyRepeat();
}

MainWindow::~MainWindow()
{
    // The base deletes the content afterwards; focus changes on the way must not reach it.
    m_pMainComponent = nullptr;
}

void MainWindow::userTriedToCloseWindow()
{
    // DocumentWindow would call closeButtonPressed, which asserts: the window has no close
    // button to press.
    if (auto* application = juce::JUCEApplication::getInstance())
        application->systemRequestedQuit();
}

// X may report the window's focus late: JUCE reads the focus-in caused by the window's own
// request (toFront) only with the next event from X, which may be the user's very move to another
// program. JUCE then finds no child that it remembers and gives the focus to the window itself,
// and a window that takes the focus asks X for it: it took the keyboard back from the program the
// user had just chosen. So the window itself never takes the focus (see the constructor): a child
// that JUCE still counts as focused keeps it, or else the first button in the focus order takes
// it; and as soon as a child has it, the screen's rule puts it on the screen's button, so that a
// key handled in the same batch finds it there.

void MainWindow::focusOfChildComponentChanged (FocusChangeType cause)
{
    if (m_pMainComponent != nullptr && hasKeyboardFocus (true))
        m_pMainComponent->applyScreenFocus();

    juce::DocumentWindow::focusOfChildComponentChanged (cause);
}

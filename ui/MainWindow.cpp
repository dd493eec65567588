#include "ui/MainWindow.h"

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

    setVisible (true);
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

// X may report the window's focus late, even in the same batch as the key press it came for.
// JUCE then hands the focus to the child it last remembered, or else to the window itself,
// taking it from the button that paint gave it to: the key must find the screen's button.

void MainWindow::focusGained (FocusChangeType cause)
{
    juce::DocumentWindow::focusGained (cause);

    if (m_pMainComponent != nullptr)
        m_pMainComponent->applyScreenFocus();
}

void MainWindow::focusOfChildComponentChanged (FocusChangeType cause)
{
    if (m_pMainComponent != nullptr && hasKeyboardFocus (true))
        m_pMainComponent->applyScreenFocus();

    juce::DocumentWindow::focusOfChildComponentChanged (cause);
}

#include "ui/MainWindow.h"

#include "ui/MainComponent.h"

MainWindow::MainWindow()
    : juce::DocumentWindow ("QVX-720 update program", juce::Colour (234, 234, 234), 0, true)
{
    // The order matters: the title-bar height read for the size is that of JUCE's own title
    // bar, and the native title bar replaces it afterwards, so that the content ends up filling
    // the whole 406 x 154 client area.
    m_pMainComponent = new MainComponent();
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

MainWindow::~MainWindow() = default;

void MainWindow::userTriedToCloseWindow()
{
    // DocumentWindow would call closeButtonPressed, which asserts: the window has no close
    // button to press.
    if (auto* application = juce::JUCEApplication::getInstance())
        application->systemRequestedQuit();
}

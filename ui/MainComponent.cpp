#include "ui/MainComponent.h"

#include "text/Loader.h"
#include "ui/AlineButton.h"

MainComponent::MainComponent (EngineSettings settings)
    : UpdateEngine (std::move (settings), [this] { triggerAsyncUpdate(); })
{
    TxtLoader::createInstance();
    auto* texts = TxtLoader::getInstance();

    // Every component without a look of its own, the window included, draws with it.
    m_langLookAndFeel.setDefaultSansSerifTypefaceName ("Hiragino Maru Gothic Pro W4");
    juce::LookAndFeel::setDefaultLookAndFeel (&m_langLookAndFeel);

    m_pLangBox = new juce::ComboBox ("langs");
    addAndMakeVisible (m_pLangBox);
    m_pLangBox->setLookAndFeel (&m_langLookAndFeel);
    m_pLangBox->addListener (this);
    m_pLangBox->setWantsKeyboardFocus (false);

    for (int i = LANG_EN; i < LANG_NUM; ++i)
        if (texts->m_langEnable[i])
            m_pLangBox->addItem (texts->getLang (static_cast<LangIdTable_t> (i)), i + 1);

    // The asynchronous notification lays the list and the screen out once after start-up.
    m_pLangBox->setSelectedId (texts->m_langId + 1, juce::sendNotificationAsync);

    m_pProgressLookAndFeel = new ProgressLookAndFeel();
    m_pProgressBar = new juce::ProgressBar (m_shownProgress);
    addAndMakeVisible (m_pProgressBar);
    m_pProgressBar->setLookAndFeel (m_pProgressLookAndFeel);
    m_pProgressBar->setColour (juce::ProgressBar::backgroundColourId, juce::Colour (8, 8, 8));
    m_progressFollower.startTimer (30);

    const auto makeButton = [this] (const juce::String& name)
    {
        auto* button = new AlineButton (name);
        addAndMakeVisible (button);
        button->addListener (this);
        button->setStyle (1);
        button->setColour (juce::TextButton::buttonColourId, juce::Colour (234, 234, 234));
        button->setColour (juce::TextButton::buttonOnColourId, juce::Colour (234, 234, 234));
        return button;
    };

    m_pOkButton = makeButton ("OK");
    m_pCancelButton = makeButton ("Cancel");

    // The buttons know the second press of a double click by JUCE's count (AlineButton), up to
    // the limit that the screens go by.
    juce::MouseEvent::setDoubleClickTimeout (doubleClickMs);

    // OK comes first wherever JUCE picks a default button (a click on the list, which wants no
    // focus, passes it on), whatever the layout: left of OK, Cancel would come first.
    m_pOkButton->setExplicitFocusOrder (1);
    m_pCancelButton->setExplicitFocusOrder (2);
}

MainComponent::~MainComponent()
{
    // A worker still running (the program quit through the window manager or a signal) asks this
    // component for redraws: it ends before anything of the window goes.
    stopWorker();
    m_progressFollower.stopTimer();

    // The list and the bar use the looks, so they go before them.
    delete m_pLangBox;
    m_pLangBox = nullptr;
    delete m_pProgressBar;
    m_pProgressBar = nullptr;
    delete m_pOkButton;
    m_pOkButton = nullptr;
    delete m_pCancelButton;
    m_pCancelButton = nullptr;
    delete m_pProgressLookAndFeel;
    m_pProgressLookAndFeel = nullptr;

    TxtLoader::releaseInstance();

    // The default look is a member: the window outlives it.
    if (&juce::LookAndFeel::getDefaultLookAndFeel() == &m_langLookAndFeel)
        juce::LookAndFeel::setDefaultLookAndFeel (nullptr);

    cancelPendingUpdate();
}

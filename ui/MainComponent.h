#pragma once

#include "ui/CustomLookAndFeel.h"
#include "update/UpdateEngine.h"

#include <juce_gui_basics/juce_gui_basics.h>

class AlineButton;

/** The window's content and the holder of the update: the update engine it derives from is the
    worker thread's object and owns the controller link; this class is the screen. The texts, the
    language list, the progress bar and the two buttons follow m_state, and the buttons drive the
    update.

    Construct, use and destroy it on the message thread. */
class MainComponent : public juce::Component,
                      public juce::AsyncUpdater,
                      public UpdateEngine,
                      public juce::ComboBox::Listener,
                      public juce::Button::Listener
{
public:
    /** The update engine is made with the settings. */
    explicit MainComponent (EngineSettings settings);
    ~MainComponent() override;

    /** Background, the warning icon of the error screens, the screen text; then puts the
        keyboard focus where the screen wants it. */
    void paint (juce::Graphics& g) override;
    /** Rebuilds the screen and places the widgets. */
    void resized() override;

    /** Puts the keyboard focus where the screen wants it, so that Return clicks that button: OK
        on the completion screen, Cancel (Close) on the error screens, OK on the language and
        version screens unless OK, Cancel or the list already has it. Called by paint and whenever
        the window gains the focus; does nothing while another program has the keyboard. Message
        thread. */
    void applyScreenFocus();

    /** The language list: makes the chosen language current, then rebuilds the screen. */
    void comboBoxChanged (juce::ComboBox* box) override;
    /** OK, Start, Cancel and Close; any other button is ignored. Message thread. */
    void buttonClicked (juce::Button* button) override;

    /** Rebuilds the screen after a request of the worker or of a removal. Message thread. */
    void handleAsyncUpdate() override;

    /** Rebuilds everything that differs between screens from m_state and the texts of the
        current language: title, text, widgets, captions. Message thread. */
    void UpdateDrawing();

    //==============================================================================
    // The screen: message thread only.

    juce::GlyphArrangement m_textLayout;
    LangLookAndFeel m_langLookAndFeel;
    juce::ComboBox* m_pLangBox = nullptr;
    ProgressLookAndFeel* m_pProgressLookAndFeel = nullptr;

    /** What the progress bar shows: a copy of m_progress that only the message thread touches,
        since the bar reads it from its own timer. */
    double m_shownProgress = 0.0;

    juce::ProgressBar* m_pProgressBar = nullptr;
    AlineButton* m_pOkButton = nullptr;
    AlineButton* m_pCancelButton = nullptr;

private:
    /** Copies m_progress into m_shownProgress every 30 ms, often enough for a smooth bar: the
        worker asks for no redraw inside a block, which can take seconds. */
    class ProgressFollower : public juce::Timer
    {
    public:
        explicit ProgressFollower (MainComponent& owner)
            : m_owner (owner)
        {
        }
        void timerCallback() override { m_owner.m_shownProgress = m_owner.m_progress.load(); }

    private:
        MainComponent& m_owner;
    };
    ProgressFollower m_progressFollower{ *this };

    /** Set once Cancel or a quit has begun: later clicks do nothing. */
    bool m_quitting = false;

    /** The usual limit for two clicks to count as a double click. */
    static constexpr int doubleClickMs = 500;

    /** The screens whose buttons were laid out last, as the row of the buttons' table that
        UpdateDrawing went by: a new row gives the buttons another meaning. */
    int32_t m_buttonsRow = STATE_INIT;

    /** The row of the buttons' table that a state takes: the buttons do the same on every
        screen of a row. */
    static int32_t buttonsRow (int32_t state);

    void okClicked();
    void cancelClicked();
    void quit();
    void addText (const juce::String& text, bool bold, float x, float y, float width, float height);

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainComponent)
};

// Draws every text of every language, the language list, a button and the progress bar the
// way the window does, then says so. Run with a font configuration that has no fonts.
#include "text/Loader.h"
#include "text/StrRes.h"
#include "ui/AlineButton.h"
#include "ui/CustomLookAndFeel.h"
#include "ui/LanguageFonts.h"

#include <cstdio>

int main()
{
    juce::ScopedJuceInitialiser_GUI juceInitialiser;
    TxtLoader::createInstance();

    {
        LangLookAndFeel look;
        look.setDefaultSansSerifTypefaceName ("Hiragino Maru Gothic Pro W4");
        juce::LookAndFeel::setDefaultLookAndFeel (&look);

        if (LanguageFonts::typefaceFor ("Osaka", false) == nullptr)
            std::printf ("no installed face\n");

        juce::Image image (juce::Image::ARGB, 406, 154, true);
        juce::Graphics g (image);

        for (int language = 0; language < LANG_NUM; ++language)
        {
            TxtLoader::getInstance()->setLocale (static_cast<LangIdTable_t> (language));

            for (int text = 0; text < SID_NUM; ++text)
            {
                juce::GlyphArrangement layout;
                layout.addFittedText (
                    juce::Font (TxtLoader::getInstance()->getFont(), 13.0f, juce::Font::bold),
                    TxtLoader::getInstance()->getString (static_cast<StrIdTable_t> (text)), 10.0f, 10.0f,
                    386.0f, 100.0f, juce::Justification::centred, 4);
                layout.draw (g);
            }

            look.drawPopupMenuItem (g, { 0, 20 * language, 150, 20 }, false, true, language == 3,
                                    language == 0, false, StrRes::LANGUAGE_SELECTION[language], {}, nullptr,
                                    nullptr);
        }

        juce::ComboBox box ("langs");
        box.setLookAndFeel (&look);
        box.addItem (StrRes::LANGUAGE_SELECTION[LANG_JA], LANG_JA + 1);
        box.setSelectedId (LANG_JA + 1, juce::dontSendNotification);
        box.setSize (150, 20);
        box.paintEntireComponent (g, false);

        AlineButton button ("OK");
        button.setFont (TxtLoader::getInstance()->getFont());
        button.setStyle (juce::Font::bold);
        button.setSize (100, 20);
        button.paintEntireComponent (g, false);

        double progress = 0.5;
        ProgressLookAndFeel progressLook;
        juce::ProgressBar bar (progress);
        bar.setLookAndFeel (&progressLook);
        progressLook.drawProgressBar (g, bar, 364, 20, progress, "50%");
        bar.setLookAndFeel (nullptr);

        box.setLookAndFeel (nullptr);
        juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
    }

    TxtLoader::releaseInstance();
    std::printf ("drawn without fonts\n");
    return 0;
}

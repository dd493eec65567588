// The program's button: its shaded face, its caption and its click on Return, painted into
// images with no display.
#include "ui/AlineButton.h"
#include "support/MessageLoop.h"
#include "support/RecordingContext.h"
#include "ui/CustomLookAndFeel.h"

#include <gtest/gtest.h>

namespace
{

struct ClickCounter : juce::Button::Listener
{
    void buttonClicked (juce::Button*) override { ++clicks; }
    int clicks = 0;
};

juce::Image paintButton (AlineButton& button)
{
    juce::Image image (juce::Image::ARGB, button.getWidth(), button.getHeight(), true);
    juce::Graphics g (image);
    button.paintEntireComponent (g, false);
    return image;
}

std::vector<qvxtest::RecordingContext::Glyph> captionGlyphs (AlineButton& button)
{
    juce::Image image (juce::Image::ARGB, button.getWidth(), button.getHeight(), true);
    qvxtest::RecordingContext context (image);
    juce::Graphics g (context);
    button.paintEntireComponent (g, false);
    return context.glyphs();
}

juce::Colour lerp (juce::Colour from, juce::Colour to, float proportion)
{
    return from.interpolatedWith (to, proportion);
}

void expectNear (juce::Colour actual, juce::Colour expected, int tolerance, const std::string& where)
{
    EXPECT_NEAR (actual.getRed(), expected.getRed(), tolerance) << where;
    EXPECT_NEAR (actual.getGreen(), expected.getGreen(), tolerance) << where;
    EXPECT_NEAR (actual.getBlue(), expected.getBlue(), tolerance) << where;
    EXPECT_GE (actual.getAlpha(), 250) << where;
}

}  // namespace

//==============================================================================
// A 100 x 41 button: the face runs from y 0.5 to 40.5, so pixel row r has its centre at the
// gradient's proportion r / 40, and row 20 is the middle stop exactly.
TEST (AlineButtonFace, ShadesFromTopToBottomInItsColours)
{
    struct Case
    {
        const char* name;
        juce::Colour buttonColour, buttonOnColour;
        bool toggledOn, pressed;
        juce::Colour top, middle, bottom, outline;
    };

    const auto white = juce::Colours::white, red = juce::Colours::red, grey234 = juce::Colour (234, 234, 234);

    const Case cases[] = {
        { "default colours", white, white, false, false, white, white.darker (0.2f), white,
          white.darker (0.7f) },
        { "the window's grey", grey234, grey234, false, false, white, grey234.darker (0.2f), white,
          grey234.darker (0.7f) },
        { "pressed: fixed shades", red, red, false, true, juce::Colour (185, 200, 240),
          juce::Colour (82, 156, 231), juce::Colour (140, 222, 253), red.darker (0.7f) },
        { "toggled on: the on colour", red, grey234, true, false, white, grey234.darker (0.2f), white,
          grey234.darker (0.7f) },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        AlineButton button ("OK");
        button.setButtonText ({});
        button.setBounds (0, 0, 100, 41);
        button.setColour (juce::TextButton::buttonColourId, c.buttonColour);
        button.setColour (juce::TextButton::buttonOnColourId, c.buttonOnColour);
        button.setToggleState (c.toggledOn, juce::dontSendNotification);

        if (c.pressed)
            button.setState (juce::Button::buttonDown);

        const auto image = paintButton (button);

        expectNear (image.getPixelAt (50, 3), lerp (c.top, c.middle, 3.0f / 20.0f), 3, "row 3");
        expectNear (image.getPixelAt (50, 20), c.middle, 2, "row 20");
        expectNear (image.getPixelAt (50, 37), lerp (c.middle, c.bottom, 17.0f / 20.0f), 3, "row 37");
        expectNear (image.getPixelAt (0, 20), c.outline, 3, "left end");
        EXPECT_EQ (image.getPixelAt (0, 0).getAlpha(), 0) << "rounded corner";
    }
}

TEST (AlineButtonFace, HoveringChangesNothing)
{
    AlineButton button ("OK");
    button.setBounds (0, 0, 100, 20);
    const auto normal = paintButton (button);
    button.setState (juce::Button::buttonOver);
    const auto hovered = paintButton (button);

    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ (normal.getPixelAt (x, y), hovered.getPixelAt (x, y)) << x << "," << y;
}

TEST (AlineButtonFace, ButtonsTwoPixelsWideOrHighHaveNoFace)
{
    struct Size
    {
        int width, height;
        bool hasFace;
    };

    for (const auto size : { Size{ 2, 20, false }, Size{ 20, 2, false }, Size{ 1, 1, false },
                             Size{ 3, 20, true }, Size{ 20, 3, true } })
    {
        AlineButton button ("OK");
        button.setButtonText ({});
        button.setBounds (0, 0, size.width, size.height);
        const auto image = paintButton (button);

        bool drewSomething = false;

        for (int y = 0; y < size.height; ++y)
            for (int x = 0; x < size.width; ++x)
                drewSomething = drewSomething || image.getPixelAt (x, y).getAlpha() != 0;

        EXPECT_EQ (drewSomething, size.hasFace) << size.width << " x " << size.height;
    }
}

TEST (AlineButtonFace, ConnectedEdgesAreSquareAndReachCloserToTheEdge)
{
    // Connected on the left: the left corners are square, so the top-left pixel is covered,
    // while the right end stays round.
    AlineButton button ("OK");
    button.setButtonText ({});
    button.setBounds (0, 0, 100, 20);
    button.setConnectedEdges (juce::Button::ConnectedOnLeft);
    const auto image = paintButton (button);

    EXPECT_GT (image.getPixelAt (0, 0).getAlpha(), 200);
    EXPECT_EQ (image.getPixelAt (99, 0).getAlpha(), 0);
}

//==============================================================================
TEST (AlineButtonCaption, HeightIsFourFifthsOfTheButtonUpToThirteen)
{
    struct Case
    {
        int buttonHeight;
        float fontHeight;
    };

    for (const auto c : { Case{ 30, 13.0f }, Case{ 17, 13.0f }, Case{ 16, 12.8f }, Case{ 10, 8.0f } })
    {
        AlineButton button ("OK");
        button.setBounds (0, 0, 100, c.buttonHeight);
        const auto glyphs = captionGlyphs (button);

        ASSERT_EQ (glyphs.size(), 2u) << c.buttonHeight;

        for (const auto& glyph : glyphs)
            EXPECT_FLOAT_EQ (glyph.font.getHeight(), c.fontHeight) << c.buttonHeight;
    }
}

TEST (AlineButtonCaption, UsesTheTypefaceAndStyleItIsGivenInDarkGrey)
{
    AlineButton button ("Cancel");
    button.setBounds (0, 0, 100, 20);

    auto glyphs = captionGlyphs (button);
    ASSERT_FALSE (glyphs.empty());
    EXPECT_EQ (glyphs.front().font.getTypefaceName(), juce::Font::getDefaultSansSerifFontName());
    EXPECT_FALSE (glyphs.front().font.isBold());

    button.setFont ("Osaka");
    button.setStyle (juce::Font::bold);
    glyphs = captionGlyphs (button);

    ASSERT_EQ (glyphs.size(), 6u);

    for (const auto& glyph : glyphs)
    {
        EXPECT_EQ (glyph.font.getTypefaceName(), "Osaka");
        EXPECT_TRUE (glyph.font.isBold());
        EXPECT_EQ (glyph.fill.colour, juce::Colour (16, 16, 16));
    }
}

TEST (AlineButtonCaption, ALongCaptionStaysOnOneLineSqueezedNoMoreThanToSevenTenths)
{
    AlineButton button ("OK");
    button.setButtonText ("Abbrechen und beenden");
    button.setBounds (0, 0, 100, 20);
    const auto glyphs = captionGlyphs (button);

    ASSERT_FALSE (glyphs.empty());
    const auto baseline = glyphs.front().transform.getTranslationY();

    for (const auto& glyph : glyphs)
    {
        EXPECT_FLOAT_EQ (glyph.transform.getTranslationY(), baseline);
        EXPECT_GE (glyph.font.getHorizontalScale(), 0.7f);
        EXPECT_GE (glyph.transform.getTranslationX(), 4.0f);
    }
}

TEST (AlineButtonCaption, SettingTheSameTextKeepsIt)
{
    AlineButton button ("OK");
    button.setButtonText ("Start");
    button.setButtonText ("Start");
    EXPECT_EQ (button.getButtonText(), "Start");
    EXPECT_EQ (button.getName(), "OK");
}

//==============================================================================
// These tests have no display: JUCE's key table reads every key as up, as it does right after
// a key-up event for that key.
TEST (AlineButtonReturn, OnlyReturnWithoutModifiersIsTakenAndClicksOnItsRelease)
{
    struct Case
    {
        const char* name;
        juce::KeyPress key;
        bool taken;
    };

    const auto returnWith = [] (int modifiers)
    { return juce::KeyPress (juce::KeyPress::returnKey, juce::ModifierKeys (modifiers), 0); };

    const Case cases[] = {
        { "Return", juce::KeyPress (juce::KeyPress::returnKey), true },
        { "Shift+Return", returnWith (juce::ModifierKeys::shiftModifier), false },
        { "Command+Return", returnWith (juce::ModifierKeys::commandModifier), false },
        { "Ctrl+Return", returnWith (juce::ModifierKeys::ctrlModifier), false },
        { "Alt+Return", returnWith (juce::ModifierKeys::altModifier), false },
        { "Space", juce::KeyPress (juce::KeyPress::spaceKey), false },
        { "Escape", juce::KeyPress (juce::KeyPress::escapeKey), false },
    };

    for (const auto& c : cases)
    {
        AlineButton button ("OK");
        button.setBounds (0, 0, 100, 20);
        ClickCounter counter;
        button.addListener (&counter);

        EXPECT_EQ (button.keyStateChanged (true), false) << c.name;
        EXPECT_EQ (button.keyPressed (c.key), c.taken) << c.name;

        // Painting never clicks: the click waits for the key-up.
        paintButton (button);
        qvxtest::pumpFor (50);
        EXPECT_EQ (counter.clicks, 0) << c.name;

        EXPECT_EQ (button.keyStateChanged (false), c.taken) << c.name;
        qvxtest::pumpUntil ([&] { return counter.clicks > 0; }, c.taken ? 3000 : 300);
        qvxtest::pumpFor (50);
        EXPECT_EQ (counter.clicks, c.taken ? 1 : 0) << c.name;
        button.removeListener (&counter);
    }
}

TEST (AlineButtonReturn, TheFaceShowsPressedFromThePressToTheRelease)
{
    AlineButton button ("OK");
    button.setButtonText ({});
    button.setBounds (0, 0, 100, 41);
    ClickCounter counter;
    button.addListener (&counter);

    ASSERT_TRUE (button.keyPressed (juce::KeyPress (juce::KeyPress::returnKey)));
    const auto held = paintButton (button);
    ASSERT_TRUE (button.keyStateChanged (false));
    EXPECT_TRUE (qvxtest::pumpUntil ([&] { return counter.clicks > 0; }, 2000));

    // JUCE's click shows the face down for a moment of its own, until a paint and its timer
    // after it; then the face is normal again.
    paintButton (button);
    qvxtest::pumpFor (300);
    const auto after = paintButton (button);

    expectNear (held.getPixelAt (50, 20), juce::Colour (82, 156, 231), 2, "Return held");
    expectNear (after.getPixelAt (50, 20), juce::Colours::white.darker (0.2f), 2, "after the click");
    EXPECT_EQ (counter.clicks, 1);
    button.removeListener (&counter);
}

TEST (AlineButtonReturn, KeyRepeatsGiveOneClickAndEveryPressItsOwn)
{
    AlineButton button ("OK");
    button.setBounds (0, 0, 100, 20);
    ClickCounter counter;
    button.addListener (&counter);

    // A held key repeats its press, and the X server reports one release when it comes up.
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE (button.keyPressed (juce::KeyPress (juce::KeyPress::returnKey)));

    qvxtest::pumpFor (300);
    EXPECT_EQ (counter.clicks, 0) << "a click while the key is held";

    EXPECT_TRUE (button.keyStateChanged (false));
    EXPECT_TRUE (qvxtest::pumpUntil ([&] { return counter.clicks > 0; }, 3000));
    EXPECT_FALSE (button.keyStateChanged (false)) << "a second key-up without a press";
    qvxtest::pumpFor (300);
    EXPECT_EQ (counter.clicks, 1);

    // The next press is a press of its own.
    ASSERT_TRUE (button.keyPressed (juce::KeyPress (juce::KeyPress::returnKey)));
    EXPECT_TRUE (button.keyStateChanged (false));
    EXPECT_TRUE (qvxtest::pumpUntil ([&] { return counter.clicks > 1; }, 3000));
    qvxtest::pumpFor (300);
    EXPECT_EQ (counter.clicks, 2);
    button.removeListener (&counter);
}

TEST (AlineButtonReturn, APressThatBeganWhilePressesAreRefusedNeverShowsNorClicks)
{
    struct Case
    {
        const char* name;
        bool pressedBefore;  // the press was under way when the refusal began
    };

    const Case cases[] = { { "pressed during the refusal", false }, { "pressed before the refusal", true } };
    const auto pressedFace = juce::Colour (82, 156, 231);
    const auto normalFace = juce::Colours::white.darker (0.2f);

    for (const auto& c : cases)
    {
        AlineButton button ("OK");
        button.setButtonText ({});
        button.setBounds (0, 0, 100, 41);
        ClickCounter counter;
        button.addListener (&counter);

        if (c.pressedBefore)
        {
            ASSERT_TRUE (button.keyPressed (juce::KeyPress (juce::KeyPress::returnKey))) << c.name;
        }

        button.refusePressesFor (60000);

        // The press and its repeats are the button's, taken by nobody else.
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE (button.keyPressed (juce::KeyPress (juce::KeyPress::returnKey))) << c.name;

        expectNear (paintButton (button).getPixelAt (50, 20), normalFace, 2, std::string (c.name) + ", held");
        EXPECT_TRUE (button.keyStateChanged (false)) << c.name;
        qvxtest::pumpFor (300);
        EXPECT_EQ (counter.clicks, 0) << c.name;
        expectNear (paintButton (button).getPixelAt (50, 20), normalFace, 2,
                    std::string (c.name) + ", released");

        // Once the refusal is over, a press is taken again.
        button.refusePressesFor (1);
        qvxtest::pumpFor (50);
        ASSERT_TRUE (button.keyPressed (juce::KeyPress (juce::KeyPress::returnKey))) << c.name;
        expectNear (paintButton (button).getPixelAt (50, 20), pressedFace, 2,
                    std::string (c.name) + ", later");
        EXPECT_TRUE (button.keyStateChanged (false)) << c.name;
        EXPECT_TRUE (qvxtest::pumpUntil ([&] { return counter.clicks > 0; }, 3000)) << c.name;
        qvxtest::pumpFor (50);
        EXPECT_EQ (counter.clicks, 1) << c.name;
        button.removeListener (&counter);
    }
}

TEST (AlineButtonReturn, AReleaseWhoseClickIsStillOnItsWayWhenPressesAreRefusedGivesNone)
{
    AlineButton button ("OK");
    button.setBounds (0, 0, 100, 20);
    ClickCounter counter;
    button.addListener (&counter);

    // The click of a release comes through the message loop, where a change of the screen may be
    // waiting before it.
    ASSERT_TRUE (button.keyPressed (juce::KeyPress (juce::KeyPress::returnKey)));
    ASSERT_TRUE (button.keyStateChanged (false));
    button.refusePressesFor (60000);
    qvxtest::pumpFor (300);
    EXPECT_EQ (counter.clicks, 0);

    // Clicks that do not come from Return are not taken back.
    button.triggerClick();
    EXPECT_TRUE (qvxtest::pumpUntil ([&] { return counter.clicks > 0; }, 3000));
    button.removeListener (&counter);
}

TEST (AlineButtonLook, TheButtonUsesItsOwnLookAndLetsItGoCleanly)
{
    auto button = std::make_unique<AlineButton> ("OK");
    EXPECT_NE (dynamic_cast<BtnLookAndFeel*> (&button->getLookAndFeel()), nullptr);
    button.reset();  // must not leave a dangling look-and-feel behind (JUCE would assert)
}

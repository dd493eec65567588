// The progress bar's look: a grey gradient bar, inset by 2 pixels, over the bar's background
// colour, with white text on top.
#include "support/RecordingContext.h"
#include "ui/CustomLookAndFeel.h"

#include <gtest/gtest.h>

namespace
{

const auto background = juce::Colour (8, 8, 8);

struct Bar
{
    Bar()
    {
        bar.setColour (juce::ProgressBar::backgroundColourId, background);
        // A colour the look must not use.
        bar.setColour (juce::ProgressBar::foregroundColourId, juce::Colours::red);
    }

    juce::Image draw (int width, int height, double value, const juce::String& text = {})
    {
        juce::Image image (juce::Image::ARGB, width, height, true);
        juce::Graphics g (image);
        look.drawProgressBar (g, bar, width, height, value, text);
        return image;
    }

    double progress = 0.0;
    juce::ProgressBar bar{ progress };
    ProgressLookAndFeel look;
};

// The gradient's colour at the centre of pixel row `row` of a bar `height` pixels high.
juce::Colour gradientAtRow (int row, int height)
{
    const float t = juce::jlimit (0.0f, 1.0f, ((float)row + 0.5f - 2.0f) / (float)(height - 6));
    const auto top = juce::Colour (167, 167, 167), middle = juce::Colour (100, 100, 100),
               bottom = juce::Colour (108, 108, 108);
    return t < 0.5f ? top.interpolatedWith (middle, 2.0f * t)
                    : middle.interpolatedWith (bottom, 2.0f * t - 1.0f);
}

}  // namespace

TEST (ProgressLook, TheBarIsAsLongAsTheValueOfTheWidthLessFourAndClamped)
{
    struct Case
    {
        double value;
        int barEnd;  // the first x past the bar
    };

    for (const auto c : { Case{ 0.5, 182 }, Case{ 0.25, 92 }, Case{ 0.0, 2 }, Case{ 1.0, 362 },
                          Case{ 1.5, 362 }, Case{ -0.5, 2 }, Case{ std::nan (""), 2 } })
    {
        Bar bar;
        const auto image = bar.draw (364, 20, c.value);

        for (int x = 0; x < 364; ++x)
        {
            const bool inBar = x >= 2 && x < c.barEnd;
            const auto pixel = image.getPixelAt (x, 10);

            if (inBar)
                ASSERT_NE (pixel, background) << "value " << c.value << " x " << x;
            else
                ASSERT_EQ (pixel, background) << "value " << c.value << " x " << x;
        }
    }
}

TEST (ProgressLook, TheGradientRunsFromLightGreyOverDarkGreyToMidGreyAndEndsTwoRowsEarly)
{
    Bar bar;
    const int height = 20;
    const auto image = bar.draw (364, height, 1.0);

    EXPECT_EQ (image.getPixelAt (100, 0), background);
    EXPECT_EQ (image.getPixelAt (100, 1), background);
    EXPECT_EQ (image.getPixelAt (100, 18), background);
    EXPECT_EQ (image.getPixelAt (100, 19), background);
    EXPECT_EQ (image.getPixelAt (1, 10), background);
    EXPECT_EQ (image.getPixelAt (362, 10), background);

    for (int row = 2; row < height - 2; ++row)
    {
        const auto pixel = image.getPixelAt (100, row);
        const auto expected = gradientAtRow (row, height);
        EXPECT_NEAR (pixel.getRed(), expected.getRed(), 2) << "row " << row;
        EXPECT_EQ (pixel.getRed(), pixel.getGreen()) << "row " << row;
        EXPECT_EQ (pixel.getRed(), pixel.getBlue()) << "row " << row;
    }

    // The last two rows of the bar lie past the gradient's end.
    EXPECT_EQ (image.getPixelAt (100, 16), juce::Colour (108, 108, 108));
    EXPECT_EQ (image.getPixelAt (100, 17), juce::Colour (108, 108, 108));
    EXPECT_NEAR (image.getPixelAt (100, 9).getRed(), 100, 2);
}

TEST (ProgressLook, TextIsWhiteAtFourFifthsOfTheHeightAndAbsentWhenEmpty)
{
    Bar bar;
    juce::Image image (juce::Image::ARGB, 364, 20, true);
    qvxtest::RecordingContext context (image);
    {
        juce::Graphics g (context);
        bar.look.drawProgressBar (g, bar.bar, 364, 20, 0.5, "50%");
    }

    ASSERT_EQ (context.glyphs().size(), 3u);

    for (const auto& glyph : context.glyphs())
    {
        EXPECT_EQ (glyph.fill.colour, juce::Colours::white);
        EXPECT_FLOAT_EQ (glyph.font.getHeight(), 16.0f);
    }

    // Centred: the text's middle lies near the bar's middle.
    const auto first = context.glyphs().front().transform.getTranslationX();
    const auto last = context.glyphs().back().transform.getTranslationX();
    EXPECT_NEAR ((first + last) / 2.0f, 182.0f, 20.0f);

    const auto withoutText = bar.draw (364, 20, 0.5);

    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 364; ++x)
            ASSERT_LE (withoutText.getPixelAt (x, y).getRed(), 167) << x << "," << y;
}

TEST (ProgressLook, NoOtherColourOfTheBarIsUsed)
{
    Bar bar;
    const auto image = bar.draw (364, 20, 0.7, "70%");

    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 364; ++x)
        {
            const auto pixel = image.getPixelAt (x, y);
            ASSERT_LE (std::abs (pixel.getRed() - pixel.getGreen()), 1) << x << "," << y;
            ASSERT_LE (std::abs (pixel.getRed() - pixel.getBlue()), 1) << x << "," << y;
        }
}

TEST (ProgressLook, TinyBarsDrawOnlyTheBackground)
{
    for (const auto width : { 0, 1, 3, 4 })
    {
        Bar bar;
        const auto image = bar.draw (juce::jmax (1, width), 3, 1.0);

        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < image.getWidth(); ++x)
                ASSERT_EQ (image.getPixelAt (x, y), background) << width;
    }
}

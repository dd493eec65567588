#include "ui/TextFormat.h"

#include <gtest/gtest.h>

namespace
{

struct FormatCase
{
    const char* format;
    std::array<const char*, 4> args;
    const char* expected;
};

class TextFormat : public ::testing::TestWithParam<FormatCase>
{
};

TEST_P (TextFormat, FillsPlaceholdersOnTheUtf8Form)
{
    const auto& c = GetParam();
    const std::array<juce::String, 4> args{ juce::String::fromUTF8 (c.args[0]),
                                            juce::String::fromUTF8 (c.args[1]),
                                            juce::String::fromUTF8 (c.args[2]),
                                            juce::String::fromUTF8 (c.args[3]) };

    EXPECT_EQ (formatText (juce::String::fromUTF8 (c.format), args), juce::String::fromUTF8 (c.expected));
}

INSTANTIATE_TEST_SUITE_P (
    Cases, TextFormat,
    ::testing::Values (FormatCase{ "Ver. %s.%02s", { "1", "05", "", "" }, "Ver. 1.05" },
                       FormatCase{ "Ver. %s.%02s", { "2", "1", "", "" }, "Ver. 2.01" },
                       FormatCase{ "Ver. %s.%02s", { "2", "", "", "" }, "Ver. 2.00" },
                       FormatCase{ "%02s", { "123", "", "", "" }, "123" },
                       FormatCase{ "0x%04s", { "E21", "", "", "" }, "0x0E21" },
                       FormatCase{ "do seu% s.", { "QVX-720", "", "", "" }, "do seuQVX-720." },
                       FormatCase{ "[%-4s]", { "ab", "", "", "" }, "[ab  ]" },
                       FormatCase{ "[%4s]", { "ab", "", "", "" }, "[  ab]" },
                       // Widths count bytes: "é" is two.
                       FormatCase{ "%04s", { "\xc3\xa9", "", "", "" }, "00\xc3\xa9" },
                       FormatCase{ "%s %s %s %s %s", { "a", "b", "c", "d" }, "a b c d " },
                       FormatCase{ "no placeholder", { "x", "y", "", "" }, "no placeholder" },
                       FormatCase{ "100%% %d%s", { "x", "", "", "" }, "100% %dx" },
                       FormatCase{ "\xe3\x81\x82%s\xe3\x81\x84",
                                   { "QVX-720", "", "", "" },
                                   "\xe3\x81\x82QVX-720\xe3\x81\x84" },
                       FormatCase{ "end %", { "", "", "", "" }, "end %" }));

TEST (TextFormatLimit, ALongResultStopsAtTheBufferBeforeACharacterThatWouldNotFit)
{
    // 200 characters of three bytes: only 85 (255 bytes) fit with the terminating zero.
    const auto longText = juce::String::repeatedString (juce::String::fromUTF8 ("\xe3\x81\x82"), 200);
    const auto result = formatText ("%s%s", { longText, longText, {}, {} });

    EXPECT_EQ (result, juce::String::repeatedString (juce::String::fromUTF8 ("\xe3\x81\x82"), 85));

    const auto padded = formatText ("%0300s", { "x", {}, {}, {} });
    EXPECT_EQ (padded.getNumBytesAsUTF8(), 255u);
    EXPECT_TRUE (padded.containsOnly ("0"));
}

}  // namespace

#pragma once

#include <juce_core/juce_core.h>

#include <array>

/** Fills a printf-style text of the text tables with string arguments, on their UTF-8 form.

    Each "%s" takes the next argument; flags and a width may stand between, and widths count
    bytes. A "0" flag pads on the left with the digit 0 (not with blanks, as the C library does
    for strings), "-" pads on the right with blanks, otherwise blanks go on the left; the blank
    flag has no effect on a string. An argument longer than the width is not cut. "%%" gives
    one "%"; any other conversion is copied as it stands. Missing arguments count as empty.
    The result holds at most 255 bytes (the program's buffer of 256 with its terminating zero):
    a longer one is cut before the character that would not fit. Any thread. */
juce::String formatText (const juce::String& format, const std::array<juce::String, 4>& args);

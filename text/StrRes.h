#pragma once

#include "text/Table.h"

#include <juce_core/juce_core.h>

/** Every text the window shows, and the font and name of each language, in all twelve
    languages: each table is indexed by LangIdTable_t. Built before main runs and never changed;
    read on the message thread. Tables 4 onwards (NULL_STR ... STR_0016) are the texts that
    StrIdTable_t 0 ... 19 selects, in that order. */
namespace StrRes
{
extern const juce::String DEFAULT_FONT_WIN[LANG_NUM];
extern const juce::String DEFAULT_FONT_MAC[LANG_NUM];
extern const juce::String LANGUAGE_SELECTION[LANG_NUM];
extern const juce::String NULL_STR[LANG_NUM];
extern const juce::String NAME_000[LANG_NUM];
extern const juce::String NAME_001[LANG_NUM];
extern const juce::String STR_0000[LANG_NUM];
extern const juce::String STR_0001[LANG_NUM];
extern const juce::String STR_0002[LANG_NUM];
extern const juce::String STR_0003[LANG_NUM];
extern const juce::String STR_0004[LANG_NUM];
extern const juce::String STR_0005[LANG_NUM];
extern const juce::String STR_0006[LANG_NUM];
extern const juce::String STR_0007[LANG_NUM];
extern const juce::String STR_0008[LANG_NUM];
extern const juce::String STR_0009[LANG_NUM];
extern const juce::String STR_0010[LANG_NUM];
extern const juce::String STR_0011[LANG_NUM];
extern const juce::String STR_0012[LANG_NUM];
extern const juce::String STR_0013[LANG_NUM];
extern const juce::String STR_0014[LANG_NUM];
extern const juce::String STR_0015[LANG_NUM];
extern const juce::String STR_0016[LANG_NUM];
}  // namespace StrRes

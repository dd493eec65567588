#pragma once

#include <juce_core/juce_core.h>

#include <cstdint>

/** The interface languages: the index of langList and of every StrRes table. */
enum LangIdTable_t : int32_t
{
    LANG_EN = 0,
    LANG_FR = 1,
    LANG_DE = 2,
    LANG_ES = 3,
    LANG_IT = 4,
    LANG_NL = 5,
    LANG_RU = 6,
    LANG_PT = 7,
    LANG_ZH_HANS = 8,
    LANG_ZH_HANT = 9,
    LANG_KO = 10,
    LANG_JA = 11,
    LANG_NUM = 12  // the number of languages, and "none chosen"
};

/** The texts of a language, by the table they come from (see StrRes). */
enum StrIdTable_t : int32_t
{
    SID_NULL_STR = 0,
    SID_NAME_000 = 1,
    SID_NAME_001 = 2,
    SID_STR_0000 = 3,
    SID_STR_0001 = 4,
    SID_STR_0002 = 5,
    SID_STR_0003 = 6,
    SID_STR_0004 = 7,
    SID_STR_0005 = 8,
    SID_STR_0006 = 9,
    SID_STR_0007 = 10,
    SID_STR_0008 = 11,
    SID_STR_0009 = 12,
    SID_STR_0010 = 13,
    SID_STR_0011 = 14,
    SID_STR_0012 = 15,
    SID_STR_0013 = 16,
    SID_STR_0014 = 17,
    SID_STR_0015 = 18,
    SID_STR_0016 = 19,
    SID_NUM = 20  // the number of texts
};

/** What TxtLoader::Load copies; any other value copies nothing. */
enum FlgTable_t : int32_t
{
    FLG_FONT_WIN = 1,
    FLG_FONT_MAC = 2,
    FLG_LANG_NAME = 3,
    FLG_STRING = 4
};

/** The language codes that the user's preferred languages are matched against, indexed by
    LangIdTable_t ("en" ... "ja"). Points at a fixed array that lives for the whole run. */
extern const juce::String* const plangList;

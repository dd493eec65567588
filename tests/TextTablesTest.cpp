#include "text/StrRes.h"

#include <gtest/gtest.h>

#include <iterator>
#include <vector>

namespace
{

struct NamedTable
{
    const char* name;
    const juce::String* entries;
};

#define QVX_TABLE(table)                                                                                     \
    NamedTable                                                                                               \
    {                                                                                                        \
#table, StrRes::table                                                                                \
    }

// Every table, in declaration order.
const NamedTable allTables[] = {
    QVX_TABLE (DEFAULT_FONT_WIN), QVX_TABLE (DEFAULT_FONT_MAC), QVX_TABLE (LANGUAGE_SELECTION),
    QVX_TABLE (NULL_STR),         QVX_TABLE (NAME_000),         QVX_TABLE (NAME_001),
    QVX_TABLE (STR_0000),         QVX_TABLE (STR_0001),         QVX_TABLE (STR_0002),
    QVX_TABLE (STR_0003),         QVX_TABLE (STR_0004),         QVX_TABLE (STR_0005),
    QVX_TABLE (STR_0006),         QVX_TABLE (STR_0007),         QVX_TABLE (STR_0008),
    QVX_TABLE (STR_0009),         QVX_TABLE (STR_0010),         QVX_TABLE (STR_0011),
    QVX_TABLE (STR_0012),         QVX_TABLE (STR_0013),         QVX_TABLE (STR_0014),
    QVX_TABLE (STR_0015),         QVX_TABLE (STR_0016),
};

// A table defined with fewer than twelve entries would fill the rest with empty strings, which
// the emptiness test below catches; more than twelve do not compile.

const NamedTable& textTable (StrIdTable_t strId)
{
    return allTables[3 + strId];
}

std::vector<juce::juce_wchar> codePoints (const juce::String& text)
{
    std::vector<juce::juce_wchar> points;
    for (auto p = text.getCharPointer(); !p.isEmpty(); ++p)
        points.push_back (*p);
    return points;
}

/** The printf placeholders of a text in order; anything else after a percent sign shows up as
    "%?" so that the comparison fails. */
std::vector<juce::String> placeholdersOf (const juce::String& text)
{
    std::vector<juce::String> found;
    for (int i = text.indexOfChar ('%'); i >= 0; i = text.indexOfChar (i + 1, '%'))
    {
        const auto rest = text.substring (i);
        if (rest.startsWith ("%s"))
            found.push_back ("%s");
        else if (rest.startsWith ("%02s"))
            found.push_back ("%02s");
        else if (rest.startsWith ("% s"))
            found.push_back ("% s");
        else
            found.push_back ("%?");
    }
    return found;
}

std::vector<juce::String> expectedPlaceholders (StrIdTable_t strId, LangIdTable_t langId)
{
    switch (strId)
    {
        case SID_STR_0008:
        case SID_STR_0009:
            return { "%s" };
        case SID_STR_0010:
        case SID_STR_0011:
            return { "%s", "%02s" };
        case SID_STR_0012:
            return { langId == LANG_PT ? "% s" : "%s" };
        case SID_STR_0014:
            if (langId == LANG_PT || langId == LANG_KO)
                return {};
            return { "%s" };
        default:
            return {};
    }
}

bool isCjk (LangIdTable_t langId)
{
    return langId == LANG_ZH_HANS || langId == LANG_ZH_HANT || langId == LANG_JA;
}

// The texts whose East Asian entries are sentences: they end with a full stop.
const StrIdTable_t sentenceIds[] = { SID_STR_0006, SID_STR_0007, SID_STR_0008, SID_STR_0009, SID_STR_0012,
                                     SID_STR_0013, SID_STR_0014, SID_STR_0015, SID_STR_0016 };

}  // namespace

TEST (TextTables, OnlyTheNullTextIsEmpty)
{
    for (const auto& table : allTables)
        for (int langId = 0; langId < LANG_NUM; ++langId)
            EXPECT_EQ (table.entries[langId].isEmpty(), table.entries == StrRes::NULL_STR)
                << table.name << "[" << langId << "]";
}

TEST (TextTables, EntriesHaveNoStrayWhitespaceAndAreComposed)
{
    for (const auto& table : allTables)
    {
        for (int langId = 0; langId < LANG_NUM; ++langId)
        {
            const auto& text = table.entries[langId];
            SCOPED_TRACE (juce::String (table.name) + "[" + juce::String (langId) + "] \"" + text + "\"");

            EXPECT_FALSE (text.startsWithChar (' ') || text.endsWithChar (' '));
            EXPECT_FALSE (text.contains ("  "));
            EXPECT_FALSE (text.containsAnyOf ("\t\r\n"));

            for (const auto c : codePoints (text))
            {
                // Composed form: no combining accent after its letter, no Hangul built of jamo.
                EXPECT_FALSE (c >= 0x300 && c <= 0x36f) << std::hex << c;
                EXPECT_FALSE ((c >= 0x1100 && c <= 0x11ff) || (c >= 0xa960 && c <= 0xa97f) ||
                              (c >= 0xd7b0 && c <= 0xd7ff))
                    << std::hex << c;
                // Apostrophes are ASCII everywhere; so are the blanks (no no-break space).
                EXPECT_NE (c, 0x2019);
                EXPECT_NE (c, 0xa0);
            }
        }
    }
}

TEST (TextTables, EveryPercentSignBeginsAnExpectedPlaceholder)
{
    for (int strId = 0; strId < SID_NUM; ++strId)
    {
        for (int langId = 0; langId < LANG_NUM; ++langId)
        {
            const auto& text = textTable ((StrIdTable_t)strId).entries[langId];
            EXPECT_EQ (placeholdersOf (text),
                       expectedPlaceholders ((StrIdTable_t)strId, (LangIdTable_t)langId))
                << textTable ((StrIdTable_t)strId).name << "[" << langId << "] \"" << text << "\"";
        }
    }

    for (const auto* table :
         { StrRes::DEFAULT_FONT_WIN, StrRes::DEFAULT_FONT_MAC, StrRes::LANGUAGE_SELECTION })
        for (int langId = 0; langId < LANG_NUM; ++langId)
            EXPECT_FALSE (table[langId].containsChar ('%'));
}

TEST (TextTables, EachLanguageNameFindsItsOwnLanguage)
{
    for (int langId = 0; langId < LANG_NUM; ++langId)
    {
        const auto* begin = std::begin (StrRes::LANGUAGE_SELECTION);
        const auto* found =
            std::find (begin, std::end (StrRes::LANGUAGE_SELECTION), StrRes::LANGUAGE_SELECTION[langId]);
        EXPECT_EQ (found - begin, langId) << StrRes::LANGUAGE_SELECTION[langId];
    }
}

TEST (TextTables, TextsThatAreTheSameInEveryLanguage)
{
    for (int langId = 0; langId < LANG_NUM; ++langId)
    {
        EXPECT_EQ (StrRes::NULL_STR[langId], juce::String());
        EXPECT_EQ (StrRes::NAME_000[langId], "QVX");
        EXPECT_EQ (StrRes::NAME_001[langId], "QVX-720");
    }
}

TEST (TextTables, BothChineseLanguagesShareTheirFonts)
{
    EXPECT_EQ (StrRes::DEFAULT_FONT_MAC[LANG_ZH_HANS], "STHeiti");
    EXPECT_EQ (StrRes::DEFAULT_FONT_MAC[LANG_ZH_HANT], "STHeiti");
    EXPECT_EQ (StrRes::DEFAULT_FONT_WIN[LANG_ZH_HANS], "SimHei");
    EXPECT_EQ (StrRes::DEFAULT_FONT_WIN[LANG_ZH_HANT], "SimHei");
    // Font names keep their blanks and style words.
    EXPECT_EQ (StrRes::DEFAULT_FONT_MAC[LANG_RU], "Geneva CY");
    EXPECT_EQ (StrRes::DEFAULT_FONT_MAC[LANG_KO], "AppleGothic Regular");
}

TEST (TextTables, RussianOkIsCyrillic)
{
    EXPECT_EQ (codePoints (StrRes::STR_0001[LANG_RU]), (std::vector<juce::juce_wchar>{ 0x41e, 0x41a }));
    EXPECT_NE (StrRes::STR_0001[LANG_RU], StrRes::STR_0001[LANG_EN]);
    EXPECT_EQ (StrRes::STR_0001[LANG_EN], "OK");
}

TEST (TextTables, EastAsianSentencesUseTheirOwnPunctuation)
{
    for (const auto strId : sentenceIds)
    {
        for (int langId = 0; langId < LANG_NUM; ++langId)
        {
            const auto& text = textTable (strId).entries[langId];
            SCOPED_TRACE (juce::String (textTable (strId).name) + "[" + juce::String (langId) + "] \"" +
                          text + "\"");

            if (isCjk ((LangIdTable_t)langId))
            {
                EXPECT_EQ (codePoints (text).back(), 0x3002);
                // Apart from the placeholder (and the blank before it in Chinese), no ASCII.
                const auto withoutPlaceholder = text.replace (" %s", "").replace ("%s", "");
                for (const auto c : codePoints (withoutPlaceholder))
                    EXPECT_GT (c, 0x7f) << std::hex << c;
            }
            else if (langId == LANG_KO)
            {
                EXPECT_TRUE (text.endsWithChar ('.'));
            }
        }
    }

    for (const auto langId : { LANG_ZH_HANS, LANG_ZH_HANT })
    {
        EXPECT_TRUE (StrRes::STR_0013[langId].containsChar (0xff0c)) << StrRes::STR_0013[langId];
        EXPECT_FALSE (StrRes::STR_0013[langId].containsChar (','));
        // One blank before the model name, none after it.
        EXPECT_TRUE (StrRes::STR_0008[langId].endsWith (juce::String (" %s") + juce::juce_wchar (0x3002)));
    }
}

TEST (TextTables, VersionLinesWriteTheColonAndTheVersionAsTheTranslatorsDid)
{
    for (const auto* table : { StrRes::STR_0010, StrRes::STR_0011 })
    {
        for (int langId = 0; langId < LANG_NUM; ++langId)
        {
            const auto& text = table[langId];
            SCOPED_TRACE (text);
            // One ASCII colon, no blank before it and one after it.
            EXPECT_EQ (text.indexOfChar (':'), text.lastIndexOfChar (':'));
            EXPECT_TRUE (text.contains (": ") && !text.contains (" :"));
            EXPECT_FALSE (text.containsChar (0xff1a));
            // What stands before the two parts of the version, which have one point between them.
            juce::String before = "Ver. ";
            if (langId == LANG_IT || langId == LANG_ZH_HANT)
                before = ": ";
            else if (langId == LANG_RU)
                before = juce::String (L"Версия ");
            else if (langId == LANG_JA)
                before = "Ver";
            EXPECT_TRUE (text.contains (before + "%s.%02s"));
        }

        // Traditional Chinese puts its word for version after the number.
        EXPECT_TRUE (table[LANG_ZH_HANT].endsWith (juce::String ("%02s") + juce::juce_wchar (0x7248)));
    }
}

TEST (TextTables, KeepsTheTranslatorsWording)
{
    // The forms that a well-meant correction would change.
    struct Case
    {
        const juce::String* table;
        LangIdTable_t langId;
        const wchar_t* expectedPart;
    };

    const Case cases[] = {
        { StrRes::STR_0005, LANG_EN, L"Language Selections" },
        { StrRes::STR_0006, LANG_PT, L"Seleccione um" },
        { StrRes::STR_0008, LANG_FR, L"n'est" },
        { StrRes::STR_0009, LANG_DE, L"Ihrer %s Firmware" },
        { StrRes::STR_0012, LANG_DE, L"Ihre %s-Firmware" },
        { StrRes::STR_0014, LANG_DE, L"Ihrer %s Firmware" },
        { StrRes::STR_0012, LANG_NL, L"uw %swordt" },
        { StrRes::STR_0012, LANG_PT, L"do seu% s." },
        { StrRes::STR_0013, LANG_FR, L"jusqu'à" },
        { StrRes::STR_0014, LANG_IT, L"L'aggiornamento" },
        { StrRes::STR_0015, LANG_FR, L"s'est" },
        { StrRes::STR_0015, LANG_NL, L"Er is en fout" },
        { StrRes::STR_0016, LANG_FR, L"s'est révélé impossible." },
    };

    for (const auto& c : cases)
        EXPECT_TRUE (c.table[c.langId].contains (juce::String (c.expectedPart)))
            << "\"" << c.table[c.langId] << "\" lacks \"" << juce::String (c.expectedPart) << "\"";

    // Korean entries exactly as they are, where a fuller translation would differ.
    EXPECT_EQ (StrRes::STR_0005[LANG_KO], juce::String (L"언어"));
}

TEST (TextTables, PortugueseSpellsTheStemWithOrWithoutC)
{
    for (const auto* table :
         { StrRes::STR_0000, StrRes::STR_0007, StrRes::STR_0009, StrRes::STR_0012, StrRes::STR_0016 })
    {
        EXPECT_TRUE (table[LANG_PT].containsIgnoreCase ("atualiz")) << table[LANG_PT];
        EXPECT_FALSE (table[LANG_PT].containsIgnoreCase ("actual")) << table[LANG_PT];
    }

    for (const auto* table : { StrRes::STR_0010, StrRes::STR_0011, StrRes::STR_0013, StrRes::STR_0014 })
    {
        EXPECT_TRUE (table[LANG_PT].containsIgnoreCase ("actual")) << table[LANG_PT];
        EXPECT_FALSE (table[LANG_PT].containsIgnoreCase ("atualiz")) << table[LANG_PT];
    }
}

TEST (TextTables, KoreanWritesABlankAfterTheWordForUpdateBeforeItsVerb)
{
    const juce::String update (L"업데이트");
    for (const auto* table : { StrRes::STR_0009, StrRes::STR_0012, StrRes::STR_0014, StrRes::STR_0016 })
    {
        const auto& text = table[LANG_KO];
        const int at = text.indexOf (update);
        ASSERT_GE (at, 0) << text;
        EXPECT_EQ (text[at + update.length()], ' ') << text;
    }
}

// Every entry of the 23 text tables against the reference texts (tests/data/reference-texts.txt),
// code point by code point. The reference file was written once from the translators' texts, not
// from this program.
#include "text/StrRes.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace
{

const std::map<std::string, const juce::String*> tables = {
    { "DEFAULT_FONT_WIN", StrRes::DEFAULT_FONT_WIN },
    { "DEFAULT_FONT_MAC", StrRes::DEFAULT_FONT_MAC },
    { "LANGUAGE_SELECTION", StrRes::LANGUAGE_SELECTION },
    { "NULL_STR", StrRes::NULL_STR },
    { "NAME_000", StrRes::NAME_000 },
    { "NAME_001", StrRes::NAME_001 },
    { "STR_0000", StrRes::STR_0000 },
    { "STR_0001", StrRes::STR_0001 },
    { "STR_0002", StrRes::STR_0002 },
    { "STR_0003", StrRes::STR_0003 },
    { "STR_0004", StrRes::STR_0004 },
    { "STR_0005", StrRes::STR_0005 },
    { "STR_0006", StrRes::STR_0006 },
    { "STR_0007", StrRes::STR_0007 },
    { "STR_0008", StrRes::STR_0008 },
    { "STR_0009", StrRes::STR_0009 },
    { "STR_0010", StrRes::STR_0010 },
    { "STR_0011", StrRes::STR_0011 },
    { "STR_0012", StrRes::STR_0012 },
    { "STR_0013", StrRes::STR_0013 },
    { "STR_0014", StrRes::STR_0014 },
    { "STR_0015", StrRes::STR_0015 },
    { "STR_0016", StrRes::STR_0016 },
};

// The column of each language in every table.
const std::map<std::string, int> languages = {
    { "en", 0 }, { "fr", 1 }, { "de", 2 },      { "es", 3 },      { "it", 4 },  { "nl", 5 },
    { "ru", 6 }, { "pt", 7 }, { "zh-Hans", 8 }, { "zh-Hant", 9 }, { "ko", 10 }, { "ja", 11 },
};

struct ReferenceText
{
    int line;
    std::string table;
    std::string language;
    std::string utf8;
};

/** The entries of the reference file: "TABLE language "text"" per line; the text is everything
    between the first and the last double quote, taken byte for byte. */
std::vector<ReferenceText> readReferenceTexts (std::string& problem)
{
    std::ifstream file (QVX_TEST_DATA "/reference-texts.txt", std::ios::binary);
    if (!file)
    {
        problem = "cannot read " QVX_TEST_DATA "/reference-texts.txt";
        return {};
    }

    std::vector<ReferenceText> entries;
    std::string line;

    for (int number = 1; std::getline (file, line); ++number)
    {
        if (line.empty() || line[0] == '#')
            continue;

        const auto firstBlank = line.find (' ');
        const auto secondBlank = line.find (' ', firstBlank + 1);
        const auto open = line.find ('"');
        const auto close = line.rfind ('"');

        if (firstBlank == std::string::npos || secondBlank == std::string::npos || open != secondBlank + 1 ||
            close != line.size() - 1 || close == open)
        {
            problem = "line " + std::to_string (number) + " is not TABLE language \"text\": " + line;
            return {};
        }

        entries.push_back ({ number, line.substr (0, firstBlank),
                             line.substr (firstBlank + 1, secondBlank - firstBlank - 1),
                             line.substr (open + 1, close - open - 1) });
    }

    return entries;
}

std::vector<juce::juce_wchar> codePoints (const juce::String& text)
{
    std::vector<juce::juce_wchar> points;
    for (auto p = text.getCharPointer(); !p.isEmpty(); ++p)
        points.push_back (*p);
    return points;
}

std::string describe (const std::vector<juce::juce_wchar>& points)
{
    std::ostringstream text;
    for (const auto point : points)
        text << "U+" << std::hex << std::uppercase << static_cast<uint32_t> (point) << ' ';
    return text.str();
}

}  // namespace

TEST (ReferenceTexts, EveryTableEntryIsTheReferenceTextToTheCodePoint)
{
    std::string problem;
    const auto entries = readReferenceTexts (problem);
    ASSERT_TRUE (problem.empty()) << problem;

    std::set<std::pair<std::string, int>> seen;

    for (const auto& entry : entries)
    {
        SCOPED_TRACE (testing::Message()
                      << "reference line " << entry.line << ": " << entry.table << ' ' << entry.language);
        const auto table = tables.find (entry.table);
        const auto language = languages.find (entry.language);
        ASSERT_NE (table, tables.end()) << "no such table";
        ASSERT_NE (language, languages.end()) << "no such language";
        EXPECT_TRUE (seen.emplace (entry.table, language->second).second) << "listed twice";
        ASSERT_TRUE (
            juce::CharPointer_UTF8::isValidString (entry.utf8.data(), static_cast<int> (entry.utf8.size())))
            << "not UTF-8";

        const auto expected =
            codePoints (juce::String::fromUTF8 (entry.utf8.data(), static_cast<int> (entry.utf8.size())));
        const auto actual = codePoints (table->second[language->second]);
        EXPECT_EQ (actual, expected) << "the table holds " << table->second[language->second] << "\n  "
                                     << describe (actual) << "\nthe reference is " << entry.utf8 << "\n  "
                                     << describe (expected);
    }

    // Every entry of every table has its reference.
    for (const auto& [name, entriesOfTable] : tables)
        for (const auto& [code, index] : languages)
            EXPECT_EQ (seen.count ({ name, index }), 1u) << name << ' ' << code << " has no reference text";
}

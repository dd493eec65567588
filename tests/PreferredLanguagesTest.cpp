#include "platform/desktop/PreferredLanguages.h"
#include "support/ScopedLocaleEnvironment.h"

#include <gtest/gtest.h>

using qvxtest::ScopedLocaleEnvironment;

TEST (PreferredLanguages, LanguageListFirstThenTheLocaleOfTheMessages)
{
    struct Case
    {
        const char* language;
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        juce::StringArray expected;
    };

    const Case cases[] = {
        { nullptr, nullptr, nullptr, nullptr, {} },
        { "", "", "", "", {} },
        { "fr_CA:fr::de:", nullptr, nullptr, nullptr, { "fr_CA", "fr", "de" } },
        { "sv:ja", nullptr, nullptr, "ko_KR.UTF-8", { "sv", "ja", "ko_KR.UTF-8" } },
        // The first of LC_ALL, LC_MESSAGES and LANG that is set and not empty decides alone.
        { nullptr, "es_ES.UTF-8", "it_IT.UTF-8", "nl_NL.UTF-8", { "es_ES.UTF-8" } },
        { nullptr, "", "it_IT.UTF-8", "nl_NL.UTF-8", { "it_IT.UTF-8" } },
        { nullptr, nullptr, "", "nl_NL.UTF-8", { "nl_NL.UTF-8" } },
        // The C locale is no preference, and it still hides the variables after it.
        { nullptr, "C", nullptr, "fr_FR.UTF-8", {} },
        { nullptr, nullptr, nullptr, "C.UTF-8", {} },
        { nullptr, nullptr, nullptr, "POSIX", {} },
        { "C:de", nullptr, nullptr, "C", { "de" } },
        // Bytes that are not UTF-8 are no language; the rest of the list still counts.
        { "\xff\xfe:it", nullptr, nullptr, "\xc3", { "it" } },
        { "fran\xc3\xa7"
          "ais:de",
          nullptr,
          nullptr,
          nullptr,
          { juce::String (L"français"), "de" } },
    };

    for (const auto& c : cases)
    {
        ScopedLocaleEnvironment environment;
        ScopedLocaleEnvironment::set ("LANGUAGE", c.language);
        ScopedLocaleEnvironment::set ("LC_ALL", c.lcAll);
        ScopedLocaleEnvironment::set ("LC_MESSAGES", c.lcMessages);
        ScopedLocaleEnvironment::set ("LANG", c.lang);

        EXPECT_EQ (platform::getPreferredLanguages(), c.expected)
            << "LANGUAGE=" << (c.language ? c.language : "(unset)")
            << " LC_ALL=" << (c.lcAll ? c.lcAll : "(unset)")
            << " LC_MESSAGES=" << (c.lcMessages ? c.lcMessages : "(unset)")
            << " LANG=" << (c.lang ? c.lang : "(unset)");
    }
}

TEST (PreferredLanguages, CanonicalIdentifierDropsEncodingAndGivesChineseItsScript)
{
    struct Case
    {
        juce::String language;
        juce::String identifier;
    };

    const Case cases[] = {
        { "fr_CA.UTF-8", "fr_CA" },
        { "de_DE.UTF-8@euro", "de_DE" },
        { "sr_RS@latin", "sr_RS" },
        { "en-US", "en_US" },
        { "EN_US", "EN_US" },  // the case is left to the match, which ignores it
        { "de", "de" },
        { "kok_IN", "kok_IN" },
        { "zh_CN.UTF-8", "zh-Hans_CN" },
        { "zh_SG", "zh-Hans_SG" },
        { "zh_TW", "zh-Hant_TW" },
        { "zh_HK.UTF-8", "zh-Hant_HK" },
        { "zh_MO", "zh-Hant_MO" },
        { "zh_tw", "zh-Hant_tw" },
        { "zh", "zh" },
        { "zh_US", "zh_US" },
        { "zh-Hant_TW", "zh-Hant_TW" },
        { "zh-Hant-TW", "zh-Hant_TW" },
        { "zh_Hans_CN", "zh-Hans_CN" },
        { "zh-Hans", "zh-Hans" },
        { "ca_ES_valencia", "ca_ES_valencia" },
        { "", "" },
        { ".UTF-8", "" },
        { "@euro", "" },
        { "_CA", "" },
    };

    for (const auto& c : cases)
        EXPECT_EQ (platform::getCanonicalLocaleIdentifier (c.language), c.identifier) << c.language;
}

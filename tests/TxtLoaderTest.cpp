#include "support/ScopedLocaleEnvironment.h"
#include "text/Loader.h"
#include "text/StrRes.h"

#include <gtest/gtest.h>

using qvxtest::ScopedLocaleEnvironment;

namespace
{

// The text tables in the order of their ids, written out independently of the loader's own list.
const juce::String* const tablesById[SID_NUM] = {
    StrRes::NULL_STR, StrRes::NAME_000, StrRes::NAME_001, StrRes::STR_0000, StrRes::STR_0001,
    StrRes::STR_0002, StrRes::STR_0003, StrRes::STR_0004, StrRes::STR_0005, StrRes::STR_0006,
    StrRes::STR_0007, StrRes::STR_0008, StrRes::STR_0009, StrRes::STR_0010, StrRes::STR_0011,
    StrRes::STR_0012, StrRes::STR_0013, StrRes::STR_0014, StrRes::STR_0015, StrRes::STR_0016,
};

struct TxtLoaderTest : testing::Test
{
    ~TxtLoaderTest() override { TxtLoader::releaseInstance(); }

    /** Checks every text, font and language name that the instance hands out for langId. */
    static void expectLanguage (const TxtLoader& loader, LangIdTable_t langId)
    {
        EXPECT_EQ (loader.m_langId, langId);
        EXPECT_EQ (loader.getFont(), StrRes::DEFAULT_FONT_MAC[langId]);
        for (int strId = 0; strId < SID_NUM; ++strId)
        {
            const auto& text = loader.getString ((StrIdTable_t)strId);
            EXPECT_EQ (text, tablesById[strId][langId]) << "language " << langId << ", text " << strId;
            // A reference-counted copy of the table's entry, not a new string.
            EXPECT_EQ (text.getCharPointer(), tablesById[strId][langId].getCharPointer());
        }
        for (int other = 0; other < LANG_NUM; ++other)
        {
            EXPECT_EQ (loader.getFont ((LangIdTable_t)other), StrRes::DEFAULT_FONT_MAC[other]);
            EXPECT_EQ (loader.getLang ((LangIdTable_t)other), StrRes::LANGUAGE_SELECTION[other]);
        }
    }

    ScopedLocaleEnvironment environment;
};

}  // namespace

TEST_F (TxtLoaderTest, ChoosesTheFirstPreferredLanguageThatItKnows)
{
    struct Case
    {
        const char* language;
        const char* lcAll;
        const char* lang;
        LangIdTable_t expected;
    };

    const Case cases[] = {
        // No preference at all.
        { nullptr, nullptr, nullptr, LANG_EN },
        { "", "", "", LANG_EN },
        { nullptr, nullptr, "C", LANG_EN },
        { nullptr, nullptr, "C.UTF-8", LANG_EN },
        // The user's order decides; later entries are not looked at.
        { "fr_CA:de", nullptr, nullptr, LANG_FR },
        { nullptr, nullptr, "fr_CA.UTF-8", LANG_FR },
        { "de", nullptr, "fr_CA.UTF-8", LANG_DE },
        { "sv:ja", nullptr, nullptr, LANG_JA },
        { "sv", nullptr, "ja_JP.UTF-8", LANG_JA },
        { "sv:fi", nullptr, "C", LANG_EN },
        { nullptr, "es_ES.UTF-8", "it_IT.UTF-8", LANG_ES },
        { "nl-BE", nullptr, nullptr, LANG_NL },
        { "pt_BR.UTF-8", nullptr, nullptr, LANG_PT },
        { "ru_RU", nullptr, nullptr, LANG_RU },
        // Case is ignored.
        { "EN_US:fr", nullptr, nullptr, LANG_EN },
        { "DE_de:fr", nullptr, nullptr, LANG_DE },
        // Chinese needs its script; a plain zh or a region without one matches neither.
        { nullptr, nullptr, "zh_CN.UTF-8", LANG_ZH_HANS },
        { "zh_SG", nullptr, nullptr, LANG_ZH_HANS },
        { "zh_TW", nullptr, nullptr, LANG_ZH_HANT },
        { nullptr, nullptr, "zh_HK.UTF-8", LANG_ZH_HANT },
        { "zh-Hant_TW", nullptr, nullptr, LANG_ZH_HANT },
        { "zh-Hans", nullptr, nullptr, LANG_ZH_HANS },
        { "zh:ko", nullptr, nullptr, LANG_KO },
        { "zh_US:it", nullptr, nullptr, LANG_IT },
        { "zh", nullptr, nullptr, LANG_EN },
        // A plain prefix test: Konkani begins with the code of Korean.
        { "kok_IN", nullptr, nullptr, LANG_KO },
        // Identifiers of 15 characters count, longer ones are skipped (the length is that of
        // the identifier, after the encoding is dropped and the script added).
        { "fr_CA_abcdefghi:de", nullptr, nullptr, LANG_FR },
        { "fr_CA_abcdefghij:de", nullptr, nullptr, LANG_DE },
        { "fr_CA.UTF-8@euro:de", nullptr, nullptr, LANG_FR },
        { "zh_TW_abcd:de", nullptr, nullptr, LANG_ZH_HANT },
        { "zh_TW_abcde:de", nullptr, nullptr, LANG_DE },
        // Identifiers that are not ASCII are skipped even when they begin with a code.
        { "fran\xc3\xa7"
          "ais:de",
          nullptr, nullptr, LANG_DE },
        { "\xe6\x97\xa5\xe6\x9c\xac:es", nullptr, nullptr, LANG_ES },
        { "\xff:it", nullptr, nullptr, LANG_IT },
    };

    for (const auto& c : cases)
    {
        ScopedLocaleEnvironment::set ("LANGUAGE", c.language);
        ScopedLocaleEnvironment::set ("LC_ALL", c.lcAll);
        ScopedLocaleEnvironment::set ("LANG", c.lang);

        TxtLoader::createInstance();
        const auto* loader = TxtLoader::getInstance();
        SCOPED_TRACE (juce::String ("LANGUAGE=") + (c.language ? c.language : "(unset)") + " LC_ALL=" +
                      (c.lcAll ? c.lcAll : "(unset)") + " LANG=" + (c.lang ? c.lang : "(unset)"));
        EXPECT_EQ (loader->m_langId, c.expected);
        for (const bool offered : loader->m_langEnable)
            EXPECT_TRUE (offered);
        TxtLoader::releaseInstance();
    }
}

TEST_F (TxtLoaderTest, HandsOutTheTablesOfTheChosenLanguage)
{
    ScopedLocaleEnvironment::set ("LANGUAGE", "ja_JP");
    TxtLoader::createInstance();
    expectLanguage (*TxtLoader::getInstance(), LANG_JA);
}

TEST_F (TxtLoaderTest, SetLocaleSwitchesEveryTextAndTakenReferencesFollow)
{
    ScopedLocaleEnvironment::set ("LANG", "en_GB.UTF-8");
    auto* loader = TxtLoader::getInstance();
    const juce::String& ok = loader->getString (SID_STR_0001);
    ASSERT_EQ (ok, "OK");

    loader->setLocale (LANG_JA);
    EXPECT_EQ (ok, StrRes::STR_0001[LANG_JA]);
    EXPECT_EQ (loader->getFont(), "Osaka");

    loader->setLocale (LANG_RU);
    EXPECT_EQ (ok, StrRes::STR_0001[LANG_RU]);

    for (int langId = LANG_NUM - 1; langId >= 0; --langId)
    {
        loader->setLocale ((LangIdTable_t)langId);
        expectLanguage (*loader, (LangIdTable_t)langId);
    }
}

TEST_F (TxtLoaderTest, IndicesOutOfRangeGiveTheEmptyStringAndChangeNothing)
{
    ScopedLocaleEnvironment::set ("LANGUAGE", "de");
    auto* loader = TxtLoader::getInstance();

    for (const int bad : { -1, (int)LANG_NUM, 100, std::numeric_limits<int>::min() })
    {
        EXPECT_EQ (loader->getFont ((LangIdTable_t)bad), juce::String()) << bad;
        EXPECT_EQ (loader->getLang ((LangIdTable_t)bad), juce::String()) << bad;

        loader->setLocale ((LangIdTable_t)bad);
        expectLanguage (*loader, LANG_DE);
    }

    for (const int bad : { -1, (int)SID_NUM, 1000, std::numeric_limits<int>::max() })
        EXPECT_EQ (loader->getString ((StrIdTable_t)bad), juce::String()) << bad;

    // Before a language is chosen there is no current font, and no texts to load.
    loader->m_langId = LANG_NUM;
    EXPECT_EQ (loader->getFont(), juce::String());
    loader->Load (FLG_STRING);
    EXPECT_EQ (loader->getString (SID_STR_0001), StrRes::STR_0001[LANG_DE]);
}

TEST_F (TxtLoaderTest, LoadCopiesOnlyTheGroupItIsAskedFor)
{
    ScopedLocaleEnvironment::set ("LANGUAGE", "ko");
    auto* loader = TxtLoader::getInstance();

    loader->Load (FLG_FONT_WIN);
    for (int langId = 0; langId < LANG_NUM; ++langId)
        EXPECT_EQ (loader->getFont ((LangIdTable_t)langId), StrRes::DEFAULT_FONT_WIN[langId]);
    EXPECT_EQ (loader->getFont(), "Batang");

    for (const int other : { 0, 5, -1 })
        loader->Load ((FlgTable_t)other);
    EXPECT_EQ (loader->getFont(), "Batang");

    loader->Load (FLG_FONT_MAC);
    expectLanguage (*loader, LANG_KO);
}

TEST_F (TxtLoaderTest, CreateInstanceTwiceKeepsTheFirstInstanceAndItsLanguage)
{
    ScopedLocaleEnvironment::set ("LANGUAGE", "fr");
    TxtLoader::createInstance();
    auto* first = TxtLoader::getInstance();
    ASSERT_EQ (first->m_langId, LANG_FR);

    ScopedLocaleEnvironment::set ("LANGUAGE", "de");
    TxtLoader::createInstance();
    EXPECT_EQ (TxtLoader::getInstance(), first);
    EXPECT_EQ (first->m_langId, LANG_FR);

    // Nor is a language the user picked replaced by a second choice.
    first->setLocale (LANG_NL);
    TxtLoader::createInstance();
    EXPECT_EQ (TxtLoader::getInstance()->m_langId, LANG_NL);
}

TEST_F (TxtLoaderTest, ReleaseThenGetInstanceChoosesAgain)
{
    TxtLoader::releaseInstance();  // with no instance: nothing happens

    ScopedLocaleEnvironment::set ("LANGUAGE", "it");
    auto* loader = TxtLoader::getInstance();  // creates and chooses, as createInstance does
    ASSERT_NE (loader, nullptr);
    expectLanguage (*loader, LANG_IT);
    loader->setLocale (LANG_ES);

    TxtLoader::releaseInstance();
    TxtLoader::releaseInstance();

    ScopedLocaleEnvironment::set ("LANGUAGE", "pt");
    auto* again = TxtLoader::getInstance();
    ASSERT_NE (again, nullptr);
    expectLanguage (*again, LANG_PT);
}

#include "text/Loader.h"

#include "platform/desktop/PreferredLanguages.h"
#include "text/StrRes.h"

#include <algorithm>

namespace
{

// The text tables in StrIdTable_t order.
const juce::String* const textTables[SID_NUM] = {
    StrRes::NULL_STR, StrRes::NAME_000, StrRes::NAME_001, StrRes::STR_0000, StrRes::STR_0001,
    StrRes::STR_0002, StrRes::STR_0003, StrRes::STR_0004, StrRes::STR_0005, StrRes::STR_0006,
    StrRes::STR_0007, StrRes::STR_0008, StrRes::STR_0009, StrRes::STR_0010, StrRes::STR_0011,
    StrRes::STR_0012, StrRes::STR_0013, StrRes::STR_0014, StrRes::STR_0015, StrRes::STR_0016,
};

bool isLanguage (int langId)
{
    return langId >= LANG_EN && langId < LANG_NUM;
}

/** Only identifiers of at most 15 ASCII characters take part in the choice; longer or non-ASCII
    ones are skipped. */
bool isUsableIdentifier (const juce::String& identifier)
{
    constexpr int maxIdentifierLength = 15;
    if (identifier.isEmpty() || identifier.length() > maxIdentifierLength)
        return false;

    for (auto p = identifier.getCharPointer(); !p.isEmpty(); ++p)
        if (*p > 0x7f)
            return false;

    return true;
}

}  // namespace

TxtLoader* TxtLoader::m_pinstance = nullptr;

TxtLoader::TxtLoader()
{
    Load (FLG_FONT_MAC);
    Load (FLG_LANG_NAME);
}

TxtLoader::~TxtLoader() = default;

void TxtLoader::createInstance()
{
    if (m_pinstance != nullptr)
        return;

    // Stored before the choice, so that anything asking for the instance meanwhile gets this one.
    m_pinstance = new TxtLoader();
    m_pinstance->m_langId = m_pinstance->chkLocale();
    m_pinstance->Load (FLG_STRING);
}

TxtLoader* TxtLoader::getInstance()
{
    createInstance();
    return m_pinstance;
}

void TxtLoader::releaseInstance()
{
    delete m_pinstance;
    m_pinstance = nullptr;
}

void TxtLoader::setLocale (LangIdTable_t langId)
{
    if (!isLanguage (langId))
        return;

    m_langId = langId;
    Load (FLG_STRING);
}

const juce::String& TxtLoader::getFont() const
{
    return getFont (m_langId);
}

const juce::String& TxtLoader::getFont (LangIdTable_t langId) const
{
    return isLanguage (langId) ? m_fontName[langId] : m_nullStr;
}

const juce::String& TxtLoader::getLang (LangIdTable_t langId) const
{
    return isLanguage (langId) ? m_langName[langId] : m_nullStr;
}

const juce::String& TxtLoader::getString (StrIdTable_t strId) const
{
    return strId >= 0 && strId < SID_NUM ? m_text[strId] : m_nullStr;
}

void TxtLoader::Load (FlgTable_t flag)
{
    switch (flag)
    {
        case FLG_FONT_WIN:
            std::copy (std::begin (StrRes::DEFAULT_FONT_WIN), std::end (StrRes::DEFAULT_FONT_WIN),
                       m_fontName);
            break;
        case FLG_FONT_MAC:
            std::copy (std::begin (StrRes::DEFAULT_FONT_MAC), std::end (StrRes::DEFAULT_FONT_MAC),
                       m_fontName);
            break;
        case FLG_LANG_NAME:
            std::copy (std::begin (StrRes::LANGUAGE_SELECTION), std::end (StrRes::LANGUAGE_SELECTION),
                       m_langName);
            break;
        case FLG_STRING:
            // m_langId is public; an index out of range must not read past the tables.
            if (isLanguage (m_langId))
                for (int strId = 0; strId < SID_NUM; ++strId)
                    m_text[strId] = textTables[strId][m_langId];
            break;
    }
}

LangIdTable_t TxtLoader::chkLocale()
{
    std::fill (std::begin (m_langEnable), std::end (m_langEnable), true);

    // The user's order decides; the first identifier that begins with a code wins. No code
    // begins with another, so the order of the codes never does.
    for (const auto& language : platform::getPreferredLanguages())
    {
        const auto identifier = platform::getCanonicalLocaleIdentifier (language);
        if (!isUsableIdentifier (identifier))
            continue;

        for (int langId = 0; langId < LANG_NUM; ++langId)
            if (identifier.startsWithIgnoreCase (plangList[langId]))
                return static_cast<LangIdTable_t> (langId);
    }

    return LANG_EN;
}

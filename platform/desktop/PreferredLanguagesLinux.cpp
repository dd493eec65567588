#include "platform/desktop/PreferredLanguages.h"

#include <cstdlib>
#include <cstring>

namespace platform
{

namespace
{

/** The locale name without its encoding (".UTF-8") and modifier ("@euro"). */
juce::String withoutEncodingAndModifier (const juce::String& language)
{
    return language.upToFirstOccurrenceOf (".", false, false).upToFirstOccurrenceOf ("@", false, false);
}

/** Adds one entry, unless it is the C locale (no preference) or not valid UTF-8. */
void addLanguage (juce::StringArray& languages, const char* bytes, size_t length)
{
    // An environment string is far shorter than INT_MAX (the kernel caps it at 128 KiB).
    if (length == 0 || !juce::CharPointer_UTF8::isValidString (bytes, static_cast<int> (length)))
        return;

    const auto language = juce::String::fromUTF8 (bytes, static_cast<int> (length));
    const auto name = withoutEncodingAndModifier (language);
    if (name == "C" || name == "POSIX")
        return;

    languages.add (language);
}

bool isScript (const juce::String& subtag)
{
    return subtag.length() == 4 &&
           subtag.containsOnly ("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
}

/** The script that a Chinese speaker of this region writes, or nothing when it is not clear. */
juce::String chineseScriptFor (const juce::String& region)
{
    for (const char* hans : { "CN", "SG" })
        if (region.equalsIgnoreCase (hans))
            return "Hans";

    for (const char* hant : { "TW", "HK", "MO" })
        if (region.equalsIgnoreCase (hant))
            return "Hant";

    return {};
}

}  // namespace

juce::StringArray getPreferredLanguages()
{
    juce::StringArray languages;

    // LANGUAGE is a list in order of preference: "fr_CA:fr:de".
    if (const char* list = std::getenv ("LANGUAGE"))
    {
        for (const char* entry = list;;)
        {
            const char* end = std::strchr (entry, ':');
            const size_t length = end != nullptr ? static_cast<size_t> (end - entry) : std::strlen (entry);
            addLanguage (languages, entry, length);
            if (end == nullptr)
                break;
            entry = end + 1;
        }
    }

    // Then the locale of the messages, which the first of these that is set decides.
    for (const char* variable : { "LC_ALL", "LC_MESSAGES", "LANG" })
    {
        const char* value = std::getenv (variable);
        if (value != nullptr && *value != 0)
        {
            addLanguage (languages, value, std::strlen (value));
            break;
        }
    }

    return languages;
}

juce::String getCanonicalLocaleIdentifier (const juce::String& language)
{
    // language[_REGION][.encoding][@modifier], or the hyphenated form (en-US, zh-Hant-TW).
    juce::StringArray subtags;
    subtags.addTokens (withoutEncodingAndModifier (language), "_-", "");
    if (subtags.isEmpty() || subtags[0].isEmpty())
        return {};
    subtags.removeEmptyStrings();

    auto identifier = subtags[0];
    int next = 1;

    juce::String script;
    if (next < subtags.size() && isScript (subtags[next]))
        script = subtags[next++];

    juce::String region;
    if (next < subtags.size())
        region = subtags[next++];

    if (script.isEmpty() && identifier.equalsIgnoreCase ("zh"))
        script = chineseScriptFor (region);

    if (script.isNotEmpty())
        identifier << "-" << script;

    if (region.isNotEmpty())
        identifier << "_" << region;

    for (; next < subtags.size(); ++next)
        identifier << "_" << subtags[next];

    return identifier;
}

}  // namespace platform

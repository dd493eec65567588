#include "ui/LanguageFonts.h"

#include "text/StrRes.h"

#include <map>
#include <utility>
#include <vector>

namespace
{

// The font system's code for each language, by LangIdTable_t. The two Chinese languages need
// their own scripts, so their codes name the territories that use them.
const char* const fontLanguageCodes[LANG_NUM] = { "en", "fr", "de",    "es",    "it", "nl",
                                                  "ru", "pt", "zh-cn", "zh-tw", "ko", "ja" };

// The names and weights resolved so far, and the faces opened for them. Deleted with JUCE's
// other singletons, before the typefaces' static leak counters go.
class ResolvedFaces : private juce::DeletedAtShutdown
{
public:
    ~ResolvedFaces() override { clearSingletonInstance(); }

    InstalledTypeface::Ptr typefaceFor (const juce::String& typefaceName, bool bold)
    {
        const juce::ScopedLock guard (m_lock);
        const auto key = std::make_pair (typefaceName, bold);
        const auto known = m_byName.find (key);

        if (known != m_byName.end())
            return known->second;

        auto typeface = resolve (typefaceName, bold);
        m_byName.emplace (key, typeface);
        return typeface;
    }

    JUCE_DECLARE_SINGLETON (ResolvedFaces, false)

private:
    InstalledTypeface::Ptr resolve (const juce::String& typefaceName, bool bold)
    {
        const auto family = typefaceName == juce::Font::getDefaultSansSerifFontName()
                                ? juce::String ("sans-serif")
                                : typefaceName;
        const auto location =
            findInstalledFontFace (family, LanguageFonts::languagesFor (typefaceName), bold);

        if (!location)
            return nullptr;

        for (const auto& face : m_faces)
            if (face->getLocation() == *location)
                return face;

        auto typeface = InstalledTypeface::open (*location, typefaceName);

        if (typeface != nullptr)
            m_faces.push_back (typeface);

        return typeface;
    }

    juce::CriticalSection m_lock;
    std::map<std::pair<juce::String, bool>, InstalledTypeface::Ptr> m_byName;
    std::vector<InstalledTypeface::Ptr> m_faces;
};

JUCE_IMPLEMENT_SINGLETON (ResolvedFaces)

}  // namespace

namespace LanguageFonts
{

juce::StringArray languagesFor (const juce::String& typefaceName)
{
    juce::StringArray languages;

    for (int i = 0; i < LANG_NUM; ++i)
        if (StrRes::DEFAULT_FONT_MAC[i] == typefaceName)
            languages.add (fontLanguageCodes[i]);

    if (languages.isEmpty())
    {
        languages.add (fontLanguageCodes[LANG_JA]);

        for (const auto* code : fontLanguageCodes)
            languages.addIfNotAlreadyThere (code);
    }

    return languages;
}

InstalledTypeface::Ptr typefaceFor (const juce::String& typefaceName, bool bold)
{
    return ResolvedFaces::getInstance()->typefaceFor (typefaceName, bold);
}

}  // namespace LanguageFonts

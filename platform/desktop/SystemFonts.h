#pragma once

#include <juce_graphics/juce_graphics.h>

#include <memory>
#include <optional>

/** One face of an installed font file: the file and the face's index inside it (a .ttc file
    holds several). */
struct FontFaceLocation
{
    juce::String file;
    int index = 0;

    bool operator== (const FontFaceLocation& other) const
    {
        return file == other.file && index == other.index;
    }
};

/** Asks the system's font configuration for the installed outline face that best serves the
    family name for text in the given languages (font-system codes such as "ja" or "zh-tw", the
    first the most important), bold or regular.

    Prefers, in the font system's order of closeness, a face that covers every language, then one
    that covers the first, then the closest face at all. Returns nothing when no usable face is
    installed. Any thread; it may take a few milliseconds, so callers keep the answer. */
std::optional<FontFaceLocation> findInstalledFontFace (const juce::String& family,
                                                       const juce::StringArray& languages, bool bold);

/** A typeface drawn from one face of an installed font file.

    Glyphs are read from the file when first needed; a character that the face lacks is left to
    JUCE's fallback typeface instead of being drawn as the face's missing-glyph box. A tab
    advances to the next tab stop, as in text. A face whose ascent plus descent (JUCE's font
    height) exceeds 1.2 em is drawn with its em at height / 1.2, as large as the macOS faces that
    the texts name. Like every JUCE typeface it lays out text on one thread at a time (here: the
    message thread). */
class InstalledTypeface : public juce::CustomTypeface
{
public:
    using Ptr = juce::ReferenceCountedObjectPtr<InstalledTypeface>;

    /** Opens the face under the given typeface name; its style is the face's own ("Bold",
        "Regular", "Book"...). Returns null when the file cannot be read as an outline font. */
    static Ptr open (const FontFaceLocation& location, const juce::String& typefaceName);

    ~InstalledTypeface() override;

    /** True when the face itself has a glyph for the character. */
    bool hasCharacter (juce::juce_wchar character) const;

    const FontFaceLocation& getLocation() const { return m_location; }

    /** The face's advances and kerning; a tab goes to the next stop, every eight spaces from the
        start of its line, and at least one space further. */
    void getGlyphPositions (const juce::String& text, juce::Array<int>& glyphs,
                            juce::Array<float>& xOffsets) override;
    float getStringWidth (const juce::String& text) override;

protected:
    bool loadGlyphIfPossible (juce::juce_wchar character) override;

private:
    struct Face;

    InstalledTypeface (const FontFaceLocation& location, std::unique_ptr<Face> face);

    FontFaceLocation m_location;
    std::unique_ptr<Face> m_pFace;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (InstalledTypeface)
};

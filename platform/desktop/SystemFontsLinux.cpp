// Fonts on Linux: fontconfig picks the face, FreeType reads its glyphs. JUCE's own scan skips
// .ttc collections and offers no way to open a face other than the first, which would leave the
// CJK faces out of reach.
#include "platform/desktop/SystemFonts.h"

#include <fontconfig/fontconfig.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <cmath>
#include <mutex>

namespace
{

struct PatternDeleter
{
    void operator() (FcPattern* pattern) const { FcPatternDestroy (pattern); }
};

struct FontSetDeleter
{
    void operator() (FcFontSet* fonts) const { FcFontSetDestroy (fonts); }
};

const FcChar8* asFcString (const juce::String& text)
{
    return reinterpret_cast<const FcChar8*> (text.toRawUTF8());
}

bool isOutlineFont (FcPattern* font)
{
    FcBool outline = FcFalse;
    return FcPatternGetBool (font, FC_OUTLINE, 0, &outline) == FcResultMatch && outline == FcTrue;
}

// Exact matches only: "zh-tw" must not be taken as covered by a face made for "zh-cn".
bool coversLanguage (FcPattern* font, const juce::String& language)
{
    FcLangSet* languages = nullptr;

    if (FcPatternGetLangSet (font, FC_LANG, 0, &languages) != FcResultMatch || languages == nullptr)
        return false;

    return FcLangSetHasLang (languages, asFcString (language)) == FcLangEqual;
}

std::optional<FontFaceLocation> locationOf (FcPattern* font)
{
    FcChar8* file = nullptr;

    if (FcPatternGetString (font, FC_FILE, 0, &file) != FcResultMatch || file == nullptr)
        return std::nullopt;

    int index = 0;
    FcPatternGetInteger (font, FC_INDEX, 0, &index);
    return FontFaceLocation{ juce::String::fromUTF8 (reinterpret_cast<const char*> (file)), index };
}

}  // namespace

std::optional<FontFaceLocation> findInstalledFontFace (const juce::String& family,
                                                       const juce::StringArray& languages, bool bold)
{
    // fontconfig loads its configuration on first use; one caller at a time keeps that safe.
    static std::mutex fontconfigLock;
    const std::lock_guard<std::mutex> guard (fontconfigLock);

    FcConfig* config = FcConfigGetCurrent();

    if (config == nullptr)
        return std::nullopt;

    std::unique_ptr<FcPattern, PatternDeleter> pattern (FcPatternCreate());

    if (pattern == nullptr)
        return std::nullopt;

    if (family.isNotEmpty())
        FcPatternAddString (pattern.get(), FC_FAMILY, asFcString (family));

    if (!languages.isEmpty())
        FcPatternAddString (pattern.get(), FC_LANG, asFcString (languages[0]));

    FcPatternAddInteger (pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger (pattern.get(), FC_SLANT, FC_SLANT_ROMAN);
    FcConfigSubstitute (config, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute (pattern.get());

    FcResult result = FcResultNoMatch;
    std::unique_ptr<FcFontSet, FontSetDeleter> sorted (
        FcFontSort (config, pattern.get(), FcFalse, nullptr, &result));

    if (sorted == nullptr)
        return std::nullopt;

    FcPattern* coveringAll = nullptr;
    FcPattern* coveringFirst = nullptr;
    FcPattern* closest = nullptr;

    for (int i = 0; i < sorted->nfont && coveringAll == nullptr; ++i)
    {
        FcPattern* font = sorted->fonts[i];

        if (!isOutlineFont (font) || !locationOf (font))
            continue;

        if (closest == nullptr)
            closest = font;

        if (languages.isEmpty())
            break;

        if (!coversLanguage (font, languages[0]))
            continue;

        if (coveringFirst == nullptr)
            coveringFirst = font;

        bool coversEvery = true;

        for (const auto& language : languages)
            coversEvery = coversEvery && coversLanguage (font, language);

        if (coversEvery)
            coveringAll = font;
    }

    for (FcPattern* choice : { coveringAll, coveringFirst, closest })
        if (choice != nullptr)
            return locationOf (choice);

    return std::nullopt;
}

//==============================================================================
struct InstalledTypeface::Face
{
    ~Face()
    {
        if (face != nullptr)
            FT_Done_Face (face);

        if (library != nullptr)
            FT_Done_FreeType (library);
    }

    // Each typeface has a library of its own, so no FreeType state is shared between them.
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    float unitsPerHeight = 1.0f;
    mutable std::mutex lock;
};

namespace
{

// The most that a face's ascent plus descent may span, in em, before its glyphs are enlarged.
constexpr float tallestLineInEm = 1.2f;

// Tab stops lie this many of the face's spaces apart, as in most text.
constexpr float spacesPerTabStop = 8.0f;

// Glyph outlines come in font units, y upwards; JUCE wants a height of 1 from ascent to
// descent, y downwards.
struct OutlineToPath
{
    juce::Path& path;
    float scale;

    juce::Point<float> point (const FT_Vector* vector) const
    {
        return { scale * (float)vector->x, -scale * (float)vector->y };
    }

    static OutlineToPath& of (void* user) { return *static_cast<OutlineToPath*> (user); }

    static int moveTo (const FT_Vector* to, void* user)
    {
        auto& self = of (user);
        self.path.closeSubPath();
        self.path.startNewSubPath (self.point (to));
        return 0;
    }

    static int lineTo (const FT_Vector* to, void* user)
    {
        auto& self = of (user);
        self.path.lineTo (self.point (to));
        return 0;
    }

    static int conicTo (const FT_Vector* control, const FT_Vector* to, void* user)
    {
        auto& self = of (user);
        self.path.quadraticTo (self.point (control), self.point (to));
        return 0;
    }

    static int cubicTo (const FT_Vector* control1, const FT_Vector* control2, const FT_Vector* to, void* user)
    {
        auto& self = of (user);
        self.path.cubicTo (self.point (control1), self.point (control2), self.point (to));
        return 0;
    }
};

}  // namespace

InstalledTypeface::Ptr InstalledTypeface::open (const FontFaceLocation& location,
                                                const juce::String& typefaceName)
{
    auto face = std::make_unique<Face>();

    if (FT_Init_FreeType (&face->library) != 0)
    {
        face->library = nullptr;
        return nullptr;
    }

    if (FT_New_Face (face->library, location.file.toRawUTF8(), location.index, &face->face) != 0)
    {
        face->face = nullptr;
        return nullptr;
    }

    const auto* ft = face->face;

    if (!FT_IS_SCALABLE (ft) || FT_Select_Charmap (face->face, FT_ENCODING_UNICODE) != 0 ||
        ft->ascender - ft->descender <= 0 || ft->units_per_EM == 0)
        return nullptr;

    // JUCE's font height is a face's ascent plus descent. The macOS faces that the texts name
    // span 1.0 to 1.2 em so; a face with more room (Noto Sans CJK: 1.45 em) would draw its
    // glyphs a fifth smaller at the same height, so its em is held at height / 1.2. The
    // baseline keeps the face's own place in the line.
    const auto lineUnits = (float)(ft->ascender - ft->descender);
    face->unitsPerHeight = juce::jmin (lineUnits, tallestLineInEm * (float)ft->units_per_EM);
    const auto ascent = (float)ft->ascender / lineUnits;
    const auto style = juce::String::fromUTF8 (ft->style_name != nullptr ? ft->style_name : "Regular");

    Ptr typeface (new InstalledTypeface (location, std::move (face)));
    typeface->setCharacteristics (typefaceName, style, ascent, L' ');
    return typeface;
}

InstalledTypeface::InstalledTypeface (const FontFaceLocation& location, std::unique_ptr<Face> face)
    : m_location (location)
    , m_pFace (std::move (face))
{
}

InstalledTypeface::~InstalledTypeface() = default;

bool InstalledTypeface::hasCharacter (juce::juce_wchar character) const
{
    const std::lock_guard<std::mutex> guard (m_pFace->lock);
    return FT_Get_Char_Index (m_pFace->face, (FT_ULong)character) != 0;
}

bool InstalledTypeface::loadGlyphIfPossible (juce::juce_wchar character)
{
    const std::lock_guard<std::mutex> guard (m_pFace->lock);
    FT_Face face = m_pFace->face;
    const auto glyphIndex = FT_Get_Char_Index (face, (FT_ULong)character);

    // Glyph 0 is the face's missing-glyph box: leave the character to the fallback typeface.
    if (glyphIndex == 0)
        return false;

    constexpr auto flags =
        FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP | FT_LOAD_IGNORE_TRANSFORM | FT_LOAD_NO_HINTING;

    if (FT_Load_Glyph (face, glyphIndex, flags) != 0 || face->glyph->format != FT_GLYPH_FORMAT_OUTLINE)
        return false;

    const auto scale = 1.0f / m_pFace->unitsPerHeight;
    juce::Path path;
    OutlineToPath builder{ path, scale };
    const FT_Outline_Funcs funcs{
        &OutlineToPath::moveTo, &OutlineToPath::lineTo, &OutlineToPath::conicTo, &OutlineToPath::cubicTo, 0, 0
    };

    if (FT_Outline_Decompose (&face->glyph->outline, &funcs, &builder) != 0)
        return false;

    path.closeSubPath();
    addGlyph (character, path, (float)face->glyph->metrics.horiAdvance * scale);

    if (FT_HAS_KERNING (face))
    {
        FT_UInt rightGlyph = 0;

        for (auto right = FT_Get_First_Char (face, &rightGlyph); rightGlyph != 0;
             right = FT_Get_Next_Char (face, right, &rightGlyph))
        {
            FT_Vector kerning{};

            if (FT_Get_Kerning (face, glyphIndex, rightGlyph, FT_KERNING_UNSCALED, &kerning) == 0 &&
                kerning.x != 0)
                addKerningPair (character, (juce::juce_wchar)right, (float)kerning.x * scale);
        }
    }

    return true;
}

void InstalledTypeface::getGlyphPositions (const juce::String& text, juce::Array<int>& glyphs,
                                           juce::Array<float>& xOffsets)
{
    if (!text.containsChar ('\t'))
    {
        juce::CustomTypeface::getGlyphPositions (text, glyphs, xOffsets);
        return;
    }

    // No face has a glyph for the tab. The pieces between tabs keep the face's own advances and
    // kerning; the tab stops count from the start of the line the tab is on.
    auto space = juce::CustomTypeface::getStringWidth (" ");

    if (space <= 0.0f)
        space = 0.25f;

    const auto tabStop = spacesPerTabStop * space;

    xOffsets.add (0.0f);
    float x = 0.0f;
    float lineStart = 0.0f;

    for (int start = 0;;)
    {
        const auto tab = text.indexOfChar (start, '\t');
        const auto piece = text.substring (start, tab < 0 ? text.length() : tab);

        if (piece.isNotEmpty())
        {
            juce::Array<int> pieceGlyphs;
            juce::Array<float> pieceOffsets;
            juce::CustomTypeface::getGlyphPositions (piece, pieceGlyphs, pieceOffsets);

            int i = 0;

            for (auto p = piece.getCharPointer(); !p.isEmpty(); ++i)
            {
                const auto c = p.getAndAdvance();
                glyphs.add (pieceGlyphs[i]);
                xOffsets.add (x + pieceOffsets[i + 1]);

                if (c == '\n' || c == '\r')
                    lineStart = x + pieceOffsets[i + 1];
            }

            x += pieceOffsets.getLast();
        }

        if (tab < 0)
            return;

        x = lineStart + tabStop * std::ceil ((x - lineStart + space) / tabStop);
        glyphs.add ('\t');
        xOffsets.add (x);
        start = tab + 1;
    }
}

float InstalledTypeface::getStringWidth (const juce::String& text)
{
    if (!text.containsChar ('\t'))
        return juce::CustomTypeface::getStringWidth (text);

    juce::Array<int> glyphs;
    juce::Array<float> xOffsets;
    getGlyphPositions (text, glyphs, xOffsets);
    return xOffsets.getLast();
}

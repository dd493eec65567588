#pragma once

#include <juce_graphics/juce_graphics.h>

#include <vector>

namespace qvxtest
{

/** A graphics context that draws into an image with JUCE's software renderer, as a component's
    paint would, and also notes every glyph drawn with the font and the fill it was drawn with.
    Use it through a juce::Graphics: juce::Graphics g (context). */
class RecordingContext : public juce::LowLevelGraphicsContext
{
public:
    struct Glyph
    {
        juce::Font font;
        juce::FillType fill;
        float opacity = 1.0f;
        int glyphNumber = 0;
        juce::AffineTransform transform;
    };

    explicit RecordingContext (juce::Image& target);

    const std::vector<Glyph>& glyphs() const { return m_glyphs; }

    bool isVectorDevice() const override;
    void setOrigin (juce::Point<int> origin) override;
    void addTransform (const juce::AffineTransform& transform) override;
    float getPhysicalPixelScaleFactor() override;
    bool clipToRectangle (const juce::Rectangle<int>& area) override;
    bool clipToRectangleList (const juce::RectangleList<int>& areas) override;
    void excludeClipRectangle (const juce::Rectangle<int>& area) override;
    void clipToPath (const juce::Path& path, const juce::AffineTransform& transform) override;
    void clipToImageAlpha (const juce::Image& image, const juce::AffineTransform& transform) override;
    bool clipRegionIntersects (const juce::Rectangle<int>& area) override;
    juce::Rectangle<int> getClipBounds() const override;
    bool isClipEmpty() const override;
    void saveState() override;
    void restoreState() override;
    void beginTransparencyLayer (float opacity) override;
    void endTransparencyLayer() override;
    void setFill (const juce::FillType& fill) override;
    void setOpacity (float opacity) override;
    void setInterpolationQuality (juce::Graphics::ResamplingQuality quality) override;
    void fillRect (const juce::Rectangle<int>& area, bool replaceExistingContents) override;
    void fillRect (const juce::Rectangle<float>& area) override;
    void fillRectList (const juce::RectangleList<float>& areas) override;
    void fillPath (const juce::Path& path, const juce::AffineTransform& transform) override;
    void drawImage (const juce::Image& image, const juce::AffineTransform& transform) override;
    void drawLine (const juce::Line<float>& line) override;
    void setFont (const juce::Font& font) override;
    const juce::Font& getFont() override;
    void drawGlyph (int glyphNumber, const juce::AffineTransform& transform) override;

private:
    struct FillState
    {
        juce::FillType fill;
        float opacity = 1.0f;
    };

    juce::LowLevelGraphicsSoftwareRenderer m_renderer;
    std::vector<FillState> m_fills{ FillState{} };
    std::vector<Glyph> m_glyphs;
};

}  // namespace qvxtest

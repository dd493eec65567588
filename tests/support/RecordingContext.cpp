#include "support/RecordingContext.h"

namespace qvxtest
{

RecordingContext::RecordingContext (juce::Image& target)
    : m_renderer (target)
{
}

bool RecordingContext::isVectorDevice() const
{
    return m_renderer.isVectorDevice();
}
void RecordingContext::setOrigin (juce::Point<int> origin)
{
    m_renderer.setOrigin (origin);
}
void RecordingContext::addTransform (const juce::AffineTransform& transform)
{
    m_renderer.addTransform (transform);
}
float RecordingContext::getPhysicalPixelScaleFactor()
{
    return m_renderer.getPhysicalPixelScaleFactor();
}
bool RecordingContext::clipToRectangle (const juce::Rectangle<int>& area)
{
    return m_renderer.clipToRectangle (area);
}

bool RecordingContext::clipToRectangleList (const juce::RectangleList<int>& areas)
{
    return m_renderer.clipToRectangleList (areas);
}

void RecordingContext::excludeClipRectangle (const juce::Rectangle<int>& area)
{
    m_renderer.excludeClipRectangle (area);
}

void RecordingContext::clipToPath (const juce::Path& path, const juce::AffineTransform& transform)
{
    m_renderer.clipToPath (path, transform);
}

void RecordingContext::clipToImageAlpha (const juce::Image& image, const juce::AffineTransform& transform)
{
    m_renderer.clipToImageAlpha (image, transform);
}

bool RecordingContext::clipRegionIntersects (const juce::Rectangle<int>& area)
{
    return m_renderer.clipRegionIntersects (area);
}

juce::Rectangle<int> RecordingContext::getClipBounds() const
{
    return m_renderer.getClipBounds();
}
bool RecordingContext::isClipEmpty() const
{
    return m_renderer.isClipEmpty();
}

void RecordingContext::saveState()
{
    m_renderer.saveState();
    m_fills.push_back (m_fills.back());
}

void RecordingContext::restoreState()
{
    m_renderer.restoreState();

    if (m_fills.size() > 1)
        m_fills.pop_back();
}

void RecordingContext::beginTransparencyLayer (float opacity)
{
    m_renderer.beginTransparencyLayer (opacity);
    m_fills.push_back (m_fills.back());
}

void RecordingContext::endTransparencyLayer()
{
    m_renderer.endTransparencyLayer();

    if (m_fills.size() > 1)
        m_fills.pop_back();
}

void RecordingContext::setFill (const juce::FillType& fill)
{
    m_renderer.setFill (fill);
    m_fills.back().fill = fill;
}

void RecordingContext::setOpacity (float opacity)
{
    m_renderer.setOpacity (opacity);
    m_fills.back().opacity = opacity;
}

void RecordingContext::setInterpolationQuality (juce::Graphics::ResamplingQuality quality)
{
    m_renderer.setInterpolationQuality (quality);
}

void RecordingContext::fillRect (const juce::Rectangle<int>& area, bool replaceExistingContents)
{
    m_renderer.fillRect (area, replaceExistingContents);
}

void RecordingContext::fillRect (const juce::Rectangle<float>& area)
{
    m_renderer.fillRect (area);
}
void RecordingContext::fillRectList (const juce::RectangleList<float>& areas)
{
    m_renderer.fillRectList (areas);
}

void RecordingContext::fillPath (const juce::Path& path, const juce::AffineTransform& transform)
{
    m_renderer.fillPath (path, transform);
}

void RecordingContext::drawImage (const juce::Image& image, const juce::AffineTransform& transform)
{
    m_renderer.drawImage (image, transform);
}

void RecordingContext::drawLine (const juce::Line<float>& line)
{
    m_renderer.drawLine (line);
}
void RecordingContext::setFont (const juce::Font& font)
{
    m_renderer.setFont (font);
}
const juce::Font& RecordingContext::getFont()
{
    return m_renderer.getFont();
}

void RecordingContext::drawGlyph (int glyphNumber, const juce::AffineTransform& transform)
{
    m_glyphs.push_back (
        { m_renderer.getFont(), m_fills.back().fill, m_fills.back().opacity, glyphNumber, transform });
    m_renderer.drawGlyph (glyphNumber, transform);
}

}  // namespace qvxtest

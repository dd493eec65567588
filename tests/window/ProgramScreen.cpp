#include "window/ProgramScreen.h"

#include "support/MessageLoop.h"
#include "support/SimulatedHid.h"
#include "support/TemporaryFolder.h"
#include "support/UpdateStateProbe.h"
#include "ui/MainComponent.h"

#include <cstdlib>

namespace qvxtest
{

namespace
{

// The window's inside once shown, and the part of it above the widget row (language list or
// progress bar at y = 154 - 80), where the screens' texts and the icon are.
constexpr int windowWidth = 406;
constexpr int windowHeight = 154;
constexpr int comparedHeight = windowHeight - 80;

// Antialiased edges may come out a shade apart; a wrong glyph differs far more.
constexpr int channelTolerance = 48;

juce::File artefact (const juce::String& name)
{
    const auto folder = juce::File (QVX_TEST_ARTEFACTS).getChildFile ("screens");
    folder.createDirectory();
    return folder.getChildFile (name + ".png");
}

void save (const juce::Image& image, const juce::String& name)
{
    const auto file = artefact (name);
    file.deleteFile();
    juce::FileOutputStream stream (file);
    if (stream.openedOk())
        juce::PNGImageFormat().writeImageToStream (image, stream);
}

}  // namespace

ProgramScreen::ProgramScreen (int32_t state)
    : m_image (draw ([state] (MainComponent& component) { UpdateStateProbe::put (component.m_state, state); }))
{
}

ProgramScreen::ProgramScreen (const juce::String& controllerVersion, const juce::String& fileVersion)
    : m_image (draw (
          [&] (MainComponent& component)
          {
              UpdateStateProbe::put (component.m_state, 1);  // the version screen
              component.m_fileReady = 8;
              component.m_deviceSysVer = controllerVersion;
              component.m_fileSysVer = fileVersion;
          }))
{
}

juce::Image ProgramScreen::draw (const std::function<void (MainComponent&)>& setUp)
{
    juce::Image image;

    // No device of the test's (it may fake some for the program) and no update file.
    const TemporaryFolder noUpdateFile;
    {
        MainComponent component ({ noUpdateFile.get(), SimulatedHid::backend() });
        component.setSize (windowWidth, windowHeight);
        setUp (component);
        component.UpdateDrawing();
        pumpFor (10);

        image = component.createComponentSnapshot (component.getLocalBounds())
                    .convertedToFormat (juce::Image::RGB);
    }
    pumpFor (10);
    return image;
}

int ProgramScreen::differingPixels (const juce::Image& window) const
{
    if (!window.isValid() || window.getWidth() != m_image.getWidth() ||
        window.getHeight() != m_image.getHeight())
        return windowWidth * comparedHeight;

    int differing = 0;

    for (int y = 0; y < comparedHeight; ++y)
        for (int x = 0; x < windowWidth; ++x)
        {
            const auto seen = window.getPixelAt (x, y);
            const auto expected = m_image.getPixelAt (x, y);

            if (std::abs (seen.getRed() - expected.getRed()) > channelTolerance ||
                std::abs (seen.getGreen() - expected.getGreen()) > channelTolerance ||
                std::abs (seen.getBlue() - expected.getBlue()) > channelTolerance)
                ++differing;
        }

    return differing;
}

bool ProgramScreen::showsWarningIcon (const juce::Image& window)
{
    if (window.isNull() || window.getWidth() < 84 || window.getHeight() < 79)
        return false;

    int yellow = 0;

    for (int y = 15; y < 79; ++y)
        for (int x = 20; x < 84; ++x)
        {
            const auto c = window.getPixelAt (x, y);
            if (c.getRed() > 200 && c.getGreen() > 150 && c.getBlue() < 100)
                ++yellow;
        }

    return yellow > 200;
}

bool ProgramScreen::waitUntilShown (XSession& session, XSession::WindowId window, int timeoutMs,
                                    const juce::String& name) const
{
    const auto deadline = juce::Time::getMillisecondCounterHiRes() + timeoutMs;
    juce::Image seen;

    do
    {
        seen = session.capture (window);
        if (differingPixels (seen) == 0)
            return true;

        juce::Thread::sleep (50);
    } while (juce::Time::getMillisecondCounterHiRes() < deadline);

    if (seen.isValid())
        save (seen, name + "-seen");
    save (m_image, name + "-expected");
    return false;
}

}  // namespace qvxtest

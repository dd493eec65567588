// Return and the language list as a user meets them in the real program: real key presses and
// mouse clicks through XTest, one fresh program per start, with no update file beside it, so
// that OK on the language screen leads to the file-error screen.
#include "support/TemporaryFolder.h"
#include "window/ProgramScreen.h"
#include "window/UpdaterProgram.h"
#include "window/XTestInput.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <unistd.h>

using qvxtest::ChildProgram;
using qvxtest::XSession;

namespace
{

// Generous bounds for a sanitizer build on a loaded machine; a working program takes a fraction.
constexpr int screenChangeTimeoutMs = 20000;
constexpr int quitTimeoutMs = 20000;

/** The built program, linked into a folder of its own: no update file lies beside it. */
juce::File programWithoutUpdateFile()
{
    static qvxtest::TemporaryFolder folder;
    const auto program = folder.getChildFile ("qvx720-updater");

    if (!program.existsAsFile() && ::link (QVX_PROGRAM, program.getFullPathName().toRawUTF8()) != 0 &&
        !(juce::File (QVX_PROGRAM).copyFileTo (program) && program.setExecutePermission (true)))
        return {};

    return program;
}

struct UpdaterKeyboard : testing::Test
{
    void SetUp() override
    {
        ASSERT_TRUE (guard.problem().isEmpty()) << guard.problem();
        ASSERT_TRUE (session.isOpen());
        ASSERT_TRUE (input.isAvailable()) << "the display has no XTest extension";
        ASSERT_TRUE (program.existsAsFile()) << "cannot place the program in a folder of its own";
    }

    /** Starts a fresh copy in English with the pointer at the point; returns its window, or 0
        with the reason in `problem`. */
    XSession::WindowId start (std::unique_ptr<ChildProgram>& child, juce::String& problem,
                              juce::Point<int> pointer = { 5, 5 })
    {
        input.moveTo (pointer.x, pointer.y);

        child = std::make_unique<ChildProgram> (
            "/usr/bin/env",
            juce::StringArray{ "LANGUAGE=en", "LANG=en_US.UTF-8", program.getFullPathName() });
        const auto windows = qvxtest::waitForWindows (session, *child);

        if (windows.size() != 1)
        {
            problem = "no single window (" + juce::String ((int)windows.size()) + "); " + describe (*child);
            return 0;
        }

        return windows.front();
    }

    /** One press of Return, held as a quick typist holds it. */
    void pressReturn()
    {
        input.returnKey (true);
        juce::Thread::sleep (150);
        input.returnKey (false);
    }

    /** A click where the pointer is. */
    void click()
    {
        input.leftButton (true);
        juce::Thread::sleep (100);
        input.leftButton (false);
    }

    /** A click on the point of the screen; the hand rests there a moment before it presses. */
    void click (juce::Point<int> point)
    {
        input.moveTo (point.x, point.y);
        juce::Thread::sleep (300);
        click();
    }

    /** Clicks the menu's fifth item (Italian), then waits for the window's title to change. Under
        load JUCE's menu now and then misses a click; a user clicks again, and so does this, while
        the menu stays open. The item lies below the window, so that a click that comes after the
        menu has gone hits no button. */
    bool chooseFifthItem (XSession::WindowId window, XSession::WindowId menu,
                          const juce::String& englishTitle, int startIndex, juce::String& problem)
    {
        // JUCE takes no click on a menu in the first 250 ms after it opens.
        juce::Thread::sleep (500);
        const auto menuBounds = session.boundsOnScreen (menu);
        // Below a border of 2 pixels, one item of the list's height (20) per language.
        const auto item =
            menuBounds.getTopLeft() + juce::Point<int> (menuBounds.getWidth() / 2, 2 + 4 * 20 + 10);

        for (int click = 0; click < 3; ++click)
        {
            this->click (item);

            const auto deadline = juce::Time::getMillisecondCounter() + 3000;
            while (session.title (window) == englishTitle && juce::Time::getMillisecondCounter() < deadline)
                juce::Thread::sleep (20);

            if (session.title (window) != englishTitle)
                return true;

            if (session.boundsOnScreen (menu).isEmpty())
                break;
        }

        session.saveScreenshot (window, "list-choice-" + juce::String (startIndex));
        problem = "no other language was chosen (title \"" + session.title (window) + "\", menu at " +
                  menuBounds.toString() + ")";
        return false;
    }

    /** Waits for the error screen's icon; otherwise says what was seen and keeps a screenshot. */
    bool waitForErrorScreen (ChildProgram& child, XSession::WindowId window, const juce::String& name,
                             juce::String& problem)
    {
        const auto deadline = juce::Time::getMillisecondCounter() + screenChangeTimeoutMs;

        while (juce::Time::getMillisecondCounter() < deadline)
        {
            if (child.hasExited())
            {
                problem = "the program ended instead (Cancel's action?): " + describe (child);
                return false;
            }

            if (qvxtest::ProgramScreen::showsWarningIcon (session.capture (window)))
                return true;

            juce::Thread::sleep (50);
        }

        session.saveScreenshot (window, name);
        problem = "still no error screen " + juce::String (screenChangeTimeoutMs) +
                  " ms after Return (screenshot " + name + ".png); title \"" + session.title (window) + "\"";
        return false;
    }

    /** One try in a fresh program: true when it went as the user expects, else false with the
        reason in `problem`. */
    using Trial = std::function<bool (ChildProgram& child, XSession::WindowId window, int index,
                                      juce::String& problem)>;

    /** Runs the trial in each of `starts` fresh programs, the pointer resting at `pointer` as each
        starts, and expects it to succeed in every one; the failures are listed by start. */
    void expectInEveryStart (int starts, const Trial& trial, juce::Point<int> pointer = { 5, 5 })
    {
        int taken = 0;
        juce::StringArray failures;

        for (int i = 0; i < starts; ++i)
        {
            std::unique_ptr<ChildProgram> child;
            juce::String problem;
            const auto window = start (child, problem, pointer);

            if (window != 0 && trial (*child, window, i, problem))
                ++taken;

            if (problem.isNotEmpty())
                failures.add ("start " + juce::String (i) + ": " + problem);

            stop (*child);
        }

        EXPECT_EQ (taken, starts) << failures.joinIntoString ("\n");
    }

    /** Ends the copy, so that the next one can start (one copy at a time runs). */
    static void stop (ChildProgram& child)
    {
        for (int attempt = 0; attempt < 8 && !child.waitForExit (attempt == 0 ? 0 : quitTimeoutMs / 8);
             ++attempt)
            child.sendSignal (SIGTERM);

        ASSERT_TRUE (child.hasExited()) << "does not end on SIGTERM";
        EXPECT_FALSE (ChildProgram::holdsSanitizerReport (child.standardError())) << child.standardError();
    }

    static juce::String describe (ChildProgram& child)
    {
        if (auto status = child.waitForExit (0))
            return ChildProgram::describeStatus (*status) + ", stderr: " + child.standardError();

        return "running, stderr: " + child.standardError();
    }

    qvxtest::UpdaterRunGuard guard;
    XSession session;
    qvxtest::XTestInput input;
    juce::File program = programWithoutUpdateFile();
};

}  // namespace

TEST_F (UpdaterKeyboard, ReturnOneSecondAfterTheWindowShowsClicksOkInEveryStart)
{
    expectInEveryStart (20,
                        [this] (ChildProgram& child, XSession::WindowId window, int i, juce::String& problem)
                        {
                            juce::Thread::sleep (1000);
                            pressReturn();
                            return waitForErrorScreen (child, window,
                                                       "return-after-start-" + juce::String (i), problem);
                        });
}

TEST_F (UpdaterKeyboard, ReturnAfterALanguageIsChosenFromTheListClicksOk)
{
    // The window opens centred, 406 x 154; the list lies at (20, h - 80, w - 40, 20). The pointer
    // waits there, so that the click on the list is the first thing to happen in the window: X
    // may report the window's focus only then, with the click.
    const auto windowTopLeft = session.screenBounds().getCentre() - juce::Point<int> (203, 77);
    const auto onTheList = windowTopLeft + juce::Point<int> (203, 84);

    expectInEveryStart (
        10,
        [&] (ChildProgram& child, XSession::WindowId window, int i, juce::String& problem)
        {
            juce::Thread::sleep (1000);
            const auto englishTitle = session.title (window);

            if (session.boundsOnScreen (window).getTopLeft() == windowTopLeft)
                click();
            else
                click (session.boundsOnScreen (window).getTopLeft() + juce::Point<int> (203, 84));

            std::vector<XSession::WindowId> windows;
            const auto menuDeadline = juce::Time::getMillisecondCounter() + screenChangeTimeoutMs;
            while ((windows = session.viewableWindowsOf (child.pid())).size() < 2 &&
                   juce::Time::getMillisecondCounter() < menuDeadline)
                juce::Thread::sleep (20);

            XSession::WindowId menu = 0;
            for (auto w : windows)
                if (w != window)
                    menu = w;

            if (menu == 0)
            {
                problem = "the list's menu did not open";
                return false;
            }

            if (!chooseFifthItem (window, menu, englishTitle, i, problem))
                return false;

            juce::Thread::sleep (300);
            pressReturn();
            return waitForErrorScreen (child, window, "return-after-list-" + juce::String (i), problem);
        },
        onTheList);
}

// The X server repeats a held key. However long Return is held on OK, OK is clicked once, when
// the key comes up: a click while it is held would show the error screen before the release, and
// a click of Close there would end the program.
TEST_F (UpdaterKeyboard, ReturnHeldForTwoSecondsClicksOkOnceOnItsRelease)
{
    expectInEveryStart (
        3,
        [this] (ChildProgram& child, XSession::WindowId window, int i, juce::String& problem)
        {
            juce::Thread::sleep (1000);
            input.returnKey (true);

            bool clickedWhileHeld = false;
            const auto releaseAt = juce::Time::getMillisecondCounter() + 2000;
            while (!clickedWhileHeld && juce::Time::getMillisecondCounter() < releaseAt)
            {
                clickedWhileHeld = qvxtest::ProgramScreen::showsWarningIcon (session.capture (window));
                juce::Thread::sleep (20);
            }

            input.returnKey (false);

            if (clickedWhileHeld)
            {
                session.saveScreenshot (window, "return-held-" + juce::String (i));
                problem = "OK was clicked while Return was held (screenshot return-held-" + juce::String (i) +
                          ".png)";
                return false;
            }

            if (!waitForErrorScreen (child, window, "return-held-" + juce::String (i), problem))
                return false;

            juce::Thread::sleep (1000);

            if (child.hasExited())
            {
                problem = "Close was clicked too: " + describe (child);
                return false;
            }

            return true;
        });
}

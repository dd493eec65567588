#include "umockdev/program/ProgramWithFakeController.h"

#include "support/ProgramProtocol.h"
#include "window/ProgramScreen.h"

#include <cstdlib>
#include <iostream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace qvxtest
{

namespace
{

constexpr const char* failingWritesControl = "QVX_FAILING_WRITES";

/** The preload list with the failing-writes library put right before umockdev's: the sanitizer
    runtimes stay first, and the library sees the program's writes before umockdev does. */
std::string withFailingWrites (const std::string& preload)
{
    juce::StringArray libraries;
    libraries.addTokens (juce::String (preload), ":", "");
    libraries.removeEmptyStrings();

    auto at = libraries.size();
    for (int i = 0; i < libraries.size(); ++i)
        if (juce::File (libraries[i]).getFileName().startsWith ("libumockdev-preload.so"))
        {
            at = i;
            break;
        }

    libraries.insert (at, QVX_FAILING_WRITES_LIBRARY);
    return libraries.joinIntoString (":").toStdString();
}

}  // namespace

void ProgramWithFakeController::SetUp()
{
    ASSERT_TRUE (guard.problem().isEmpty()) << guard.problem();
    ASSERT_TRUE (session.isOpen());
    ASSERT_TRUE (keyboard.isConnected()) << "no XTest on the display";
    ASSERT_TRUE (input.isAvailable()) << "no XTest on the display";
}

void ProgramWithFakeController::TearDown()
{
    if (program != nullptr && HasFailure())
        std::cerr << "The program's standard error:\n" << program->standardError() << "\n";

    // The folder goes with the test: a later test must set the control file up anew.
    if (m_writesCanFail)
        ::setenv (failingWritesControl, "", 1);
}

void ProgramWithFakeController::letControllerFailWrites()
{
    // The controller in this process reads it, and the library in the program, which inherits it.
    const auto control = folder.getChildFile ("failing-writes").getFullPathName();
    ::setenv (failingWritesControl, control.toRawUTF8(), 1);
    m_writesCanFail = true;
}

juce::File ProgramWithFakeController::installWith (const UpdateFileBuilder& file)
{
    const juce::File built (QVX_PROGRAM);
    const auto copy = folder.getChildFile (built.getFileName());

    // A link where the file system allows one: a sanitizer build is over 100 MB.
    if (::link (built.getFullPathName().toRawUTF8(), copy.getFullPathName().toRawUTF8()) != 0)
    {
        EXPECT_TRUE (built.copyFileTo (copy));
        EXPECT_TRUE (copy.setExecutePermission (true));
    }

    file.writeTo (folder.get());
    return copy;
}

void ProgramWithFakeController::start (const juce::File& programFile)
{
    // Only the program gets the library. LD_PRELOAD is set already (this process runs under
    // umockdev's preload), so it changes its value, not the shape of the environment.
    const char* current = std::getenv ("LD_PRELOAD");
    const std::string preload = current != nullptr ? current : "";
    if (m_writesCanFail)
        ::setenv ("LD_PRELOAD", withFailingWrites (preload).c_str(), 1);

    program = std::make_unique<ChildProgram> (programFile.getFullPathName(), juce::StringArray());

    if (m_writesCanFail)
        ::setenv ("LD_PRELOAD", preload.c_str(), 1);
    ASSERT_TRUE (program->isStarted());

    const auto windows = waitForWindows (session, *program);
    ASSERT_EQ (windows.size(), 1u) << program->standardError();
    window = windows.front();
}

void ProgramWithFakeController::startTransferWith (const UpdateFileBuilder& file)
{
    ASSERT_TRUE (controller.plug());
    start (installWith (file));

    ASSERT_TRUE (typeReturnUntil ([&] { return received (program::cmdCheckMode); }, stepTimeoutMs))
        << "OK on the language screen asked the controller nothing";
    ASSERT_TRUE (typeReturnUntil ([&] { return received (program::cmdStart); }, stepTimeoutMs))
        << "Start did not start the transfer";
}

bool ProgramWithFakeController::typeReturnUntil (const std::function<bool()>& condition, int timeoutMs)
{
    const auto deadline = juce::Time::getMillisecondCounterHiRes() + timeoutMs;

    while (juce::Time::getMillisecondCounterHiRes() < deadline && program != nullptr && !program->hasExited())
    {
        keyboard.focus (window);
        keyboard.typeReturn();

        if (controller.waitUntil (condition, 2000))
            return true;
    }

    return condition();
}

void ProgramWithFakeController::waitForKeyboard()
{
    const auto deadline = juce::Time::getMillisecondCounterHiRes() + 20000;
    while (!session.hasFocus (window) && juce::Time::getMillisecondCounterHiRes() < deadline)
        juce::Thread::sleep (10);

    if (!session.hasFocus (window))
        keyboard.focus (window);

    juce::Thread::sleep (1000);
}

double ProgramWithFakeController::pressReturn()
{
    input.returnKey (true);
    juce::Thread::sleep (150);
    input.returnKey (false);
    return juce::Time::getMillisecondCounterHiRes();
}

double ProgramWithFakeController::clickInWindow (juce::Point<int> point)
{
    const auto onScreen = session.boundsOnScreen (window).getTopLeft() + point;
    input.moveTo (onScreen.x, onScreen.y);
    juce::Thread::sleep (300);
    input.leftButton (true);
    juce::Thread::sleep (100);
    input.leftButton (false);
    return juce::Time::getMillisecondCounterHiRes();
}

bool ProgramWithFakeController::received (uint8_t command) const
{
    for (const auto& report : controller.outputReports())
        if (report.size() > 2 && report[2] == command)
            return true;
    return false;
}

juce::String ProgramWithFakeController::commandsReceived() const
{
    juce::String text;
    for (const auto& report : controller.outputReports())
        text << (report.size() > 2 ? juce::String::toHexString (report[2]).paddedLeft ('0', 2) : "??") << " ";
    return text.trimEnd();
}

juce::String ProgramWithFakeController::artefactName()
{
    // A parameterised test's name holds a slash, which would make the artefact's file a folder's.
    return juce::String (testing::UnitTest::GetInstance()->current_test_info()->name())
        .replaceCharacter ('/', '-');
}

bool ProgramWithFakeController::showsScreen (int32_t state, int timeoutMs)
{
    const auto name = artefactName() + "-0x" + juce::String::toHexString (state);
    return ProgramScreen (state).waitUntilShown (session, window, timeoutMs, name);
}

bool ProgramWithFakeController::showsVersionScreen (const juce::String& controllerVersion,
                                                    const juce::String& fileVersion, int timeoutMs)
{
    const auto name = artefactName() + "-versions";
    return ProgramScreen (controllerVersion, fileVersion).waitUntilShown (session, window, timeoutMs, name);
}

void ProgramWithFakeController::expectCleanExit()
{
    ASSERT_NE (program, nullptr);
    const auto status = program->waitForExit (stepTimeoutMs);
    ASSERT_TRUE (status.has_value()) << "the program still runs";
    EXPECT_TRUE (WIFEXITED (*status) && WEXITSTATUS (*status) == 0) << ChildProgram::describeStatus (*status);
    EXPECT_FALSE (ChildProgram::holdsSanitizerReport (program->standardError()));
}

juce::String ProgramWithFakeController::describe (const std::vector<uint8_t>& report)
{
    juce::String text;
    for (size_t i = 0; i < report.size() && i < 12; ++i)
        text << juce::String::toHexString (report[i]).paddedLeft ('0', 2) << " ";
    return text;
}

UsbHidDevice ProgramWithFakeController::controllerPort()
{
    UsbHidDevice device;
    device.hostController = "/devices/pci0000:00/0000:00:14.0";
    device.busNumber = 1;
    device.ports = "3";
    device.idVendor = "5e21";
    device.idProduct = "0026";
    device.bcdDevice = "0100";
    device.hidInstance = 1;
    device.hidrawNumber = 0;
    return device;
}

}  // namespace qvxtest

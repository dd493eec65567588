#include "umockdev/program/ProgramWithFakeController.h"

#include "support/ProgramProtocol.h"
#include "window/ProgramScreen.h"

#include <iostream>
#include <sys/wait.h>
#include <unistd.h>

namespace qvxtest
{

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
    program = std::make_unique<ChildProgram> (programFile.getFullPathName(), juce::StringArray());
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

bool ProgramWithFakeController::showsScreen (int32_t state, int timeoutMs)
{
    const auto name = juce::String (testing::UnitTest::GetInstance()->current_test_info()->name()) + "-0x" +
                      juce::String::toHexString (state);
    return ProgramScreen (state).waitUntilShown (session, window, timeoutMs, name);
}

bool ProgramWithFakeController::showsVersionScreen (const juce::String& controllerVersion,
                                                    const juce::String& fileVersion, int timeoutMs)
{
    const auto name =
        juce::String (testing::UnitTest::GetInstance()->current_test_info()->name()) + "-versions";
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

// What lies beside the built program under the update file's name, as a user meets it: real X
// keys through XTest, a QVX-720 faked with umockdev.
#include "support/ProgramProtocol.h"
#include "umockdev/program/ProgramWithFakeController.h"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <sys/stat.h>

using qvxtest::ProgramWithFakeController;

using namespace qvxtest::program;

// A pipe that nothing writes to: opening it for reading would wait for a writer, with the window
// frozen and the quit signals unheard.
TEST_F (ProgramWithFakeController, APipeInPlaceOfTheUpdateFileIsALoadErrorAndTheWindowAnswers)
{
    ASSERT_TRUE (controller.plug());
    const auto programFile = installWith (qvxtest::UpdateFileBuilder());
    const auto updateFile = folder.getChildFile ("qvx720__v100.bin");
    ASSERT_TRUE (updateFile.deleteFile());
    ASSERT_EQ (::mkfifo (updateFile.getFullPathName().toRawUTF8(), 0600), 0) << std::strerror (errno);

    start (programFile);
    waitForKeyboard();
    const auto released = pressReturn();

    ASSERT_TRUE (showsScreen (fileLoadErrorScreen)) << "not the file's load error";
    std::cout << "A pipe as the update file: Return's release to the error screen at most "
              << juce::roundToInt (juce::Time::getMillisecondCounterHiRes() - released) << " ms" << std::endl;
    EXPECT_FALSE (received (cmdCheckMode)) << "the controller was asked: " << commandsReceived();

    // Close.
    ASSERT_TRUE (typeReturnUntil ([&] { return program->hasExited(); }, stepTimeoutMs));
    expectCleanExit();
}

#pragma once

// What the tests of the built program know of the controller's protocol, the screens and the
// update file: written down here from their own values, not taken from the program's code, so that
// a change there shows as a failing test.

#include <cstddef>
#include <cstdint>

namespace qvxtest::program
{

// Byte 1 of a request.
constexpr uint8_t cmdCheckMode = 0x00;
constexpr uint8_t cmdData = 0x03;
constexpr uint8_t cmdGetStatus = 0x05;
constexpr uint8_t cmdComplete = 0x06;
constexpr uint8_t cmdStart = 0x08;
constexpr uint8_t cmdCancel = 0x09;

// Byte 1 of an answer.
constexpr uint8_t ansError = 0x81;

// The screens, by the state value each shows.
constexpr int32_t languageScreen = 0;
constexpr int32_t completeScreen = 7;
constexpr int32_t fileLoadErrorScreen = 0x0E02;
constexpr int32_t notConnectedScreen = 0x0E21;
constexpr int32_t removedScreen = 0x0E37;

// The update file: where its images lie, and what is never sent.
constexpr size_t mainImageStart = 0x000000;
constexpr size_t subImageStart = 0x090000;
constexpr size_t unsentGapStart = 0x1CE000;
constexpr size_t systemImageStart = 0x1D0000;
constexpr size_t unsentTailStart = 0x1E0000;
constexpr size_t fileSize = 0x200000;

}  // namespace qvxtest::program

#pragma once

#include <cstdint>

/** Byte 0 of every report: what a request is about; the answer echoes it. */
enum TargetId_t : uint8_t
{
    TARGET_DEVICE = 0xF0,
    TARGET_MAIN = 0xF1,
    TARGET_SUB = 0xF2,
    TARGET_SYS = 0xF7
};

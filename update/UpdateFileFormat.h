#pragma once

#include <cstdint>

/** The layout of the update file: three images, two versions and a CRC-16, no header. */
namespace UpdFileFormat
{
constexpr int64_t fileSize = 0x200000;

constexpr int64_t mainOffset = 0x000000;
constexpr int64_t mainSize = 0x090000;
constexpr int64_t subOffset = 0x090000;
constexpr int64_t subSize = 0x13E000;
constexpr int64_t sysOffset = 0x1D0000;
constexpr int64_t sysSize = 0x010000;

/** Four ASCII characters: digit, full stop, digit, digit. */
constexpr int64_t sysVersionOffset = 0x1D0000;
/** Four bytes, most significant first, each bounded like a BCD date 20YY-MM-DD. */
constexpr int64_t firmwareVersionOffset = 0x1DFFFC;
constexpr uint8_t firmwareVersionBounds[4] = { 0x20, 0x50, 0x12, 0x31 };
/** CRC-16/XMODEM of every byte before it, low byte first. */
constexpr int64_t crcOffset = 0x1FFFFE;

/** How much of the system image goes out when the controller already has the file's firmware. */
constexpr int64_t shortSysSize = 0x1000;
}  // namespace UpdFileFormat

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

/** Four ASCII characters: digit, full stop, digit, digit. The controller's is of the same form. */
constexpr int64_t sysVersionOffset = 0x1D0000;
constexpr int sysVersionLength = 4;
/** Four bytes, most significant first, each bounded like a BCD date 20YY-MM-DD. The controller's
    is of the same form. */
constexpr int64_t firmwareVersionOffset = 0x1DFFFC;
constexpr int firmwareVersionLength = 4;
constexpr uint8_t firmwareVersionBounds[firmwareVersionLength] = { 0x20, 0x50, 0x12, 0x31 };
/** CRC-16/XMODEM of every byte before it, low byte first. */
constexpr int64_t crcOffset = 0x1FFFFE;
constexpr uint16_t crcPolynomial = 0x1021;

/** How much of the system image goes out when the controller already has the file's firmware. */
constexpr int64_t shortSysSize = 0x1000;

/** A firmware version's four bytes, as the file and the controller's version answer hold them,
    as one value. */
inline uint32_t readFirmwareVersion (const uint8_t* bytes)
{
    return (static_cast<uint32_t> (bytes[0]) << 24) | (static_cast<uint32_t> (bytes[1]) << 16) |
           (static_cast<uint32_t> (bytes[2]) << 8) | static_cast<uint32_t> (bytes[3]);
}

/** Whether none of a firmware version's four bytes lies above its bound; there is no other test. */
inline bool isFirmwareVersionInBounds (const uint8_t* bytes)
{
    for (int i = 0; i < firmwareVersionLength; ++i)
        if (bytes[i] > firmwareVersionBounds[i])
            return false;

    return true;
}
}  // namespace UpdFileFormat

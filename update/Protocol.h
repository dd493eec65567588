#pragma once

#include <cstdint>

/** Requests and answers are 64-byte reports; multi-byte request fields are little-endian. */
constexpr int reportSize = 64;

/** Byte 0 of every report: what a request is about; the answer echoes it. */
enum TargetId_t : uint8_t
{
    TARGET_DEVICE = 0xF0,
    TARGET_MAIN = 0xF1,
    TARGET_SUB = 0xF2,
    TARGET_SYS = 0xF7
};

/** Byte 1 of a request. */
enum CmdId_t : uint8_t
{
    CMD_CHECK_MODE = 0x00,
    CMD_GET_VERSION = 0x01,
    CMD_BLOCK = 0x02,
    CMD_DATA = 0x03,
    CMD_CHECKSUM = 0x04,
    CMD_GET_STATUS = 0x05,
    CMD_COMPLETE = 0x06,
    CMD_DATA_SIZE = 0x07,
    CMD_START = 0x08,
    CMD_CANCEL = 0x09
};

/** Byte 1 of an answer; ANS_ERROR carries its reason in byte 2. */
enum AnsId_t : uint8_t
{
    ANS_OK = 0x80,
    ANS_ERROR = 0x81,
    ANS_VERSION = 0x82,
    ANS_BUSY1 = 0x83,
    ANS_BUSY2 = 0x84,
    ANS_DONE = 0x85
};

/** Field layout of the requests and answers. */
namespace Report
{
constexpr int target = 0;
constexpr int command = 1;
constexpr int answer = 1;
constexpr int reason = 2;
constexpr int address = 2;          // CMD_BLOCK, CMD_START: 32-bit
constexpr int addressMarker = 6;    // CMD_BLOCK, CMD_START: always 0xFF
constexpr int length = 7;           // CMD_BLOCK, CMD_START: 32-bit
constexpr int data = 2;             // CMD_DATA: up to 62 bytes
constexpr int dataCount = 2;        // CMD_DATA_SIZE: 1 to 62
constexpr int checksum = 2;         // CMD_CHECKSUM: 32-bit
constexpr int firmwareVersion = 2;  // ANS_VERSION: 32-bit, most significant byte first
constexpr int systemVersion = 7;    // ANS_VERSION: four characters
constexpr int dataBytesPerReport = 62;

/** Writes a 32-bit value least significant byte first. */
inline void putLittleEndian32 (uint8_t* report, int offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        report[offset + i] = static_cast<uint8_t> (value >> (8 * i));
}
}  // namespace Report

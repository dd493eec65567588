#pragma once

#include "hid/HidHandler.h"

#include <cstdint>

// Requests and answers are reports of reportSize bytes; multi-byte request fields are
// little-endian.

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

/** Byte 2 of an ANS_ERROR answer: why the controller refused. Only their numbers are known: each
    request makes its own error of them, and the exchange refuses REASON_5 for every request. */
enum ReasonId_t : uint8_t
{
    REASON_1 = 1,
    REASON_2 = 2,
    REASON_3 = 3,
    REASON_4 = 4,
    REASON_5 = 5
};

/** Field layout of the requests and answers. */
namespace Report
{
constexpr int target = 0;
constexpr int command = 1;
constexpr int answer = 1;
constexpr int reason = 2;
constexpr int address = 2;          // CMD_BLOCK, CMD_START: 32-bit
constexpr int addressMarker = 6;    // CMD_BLOCK, CMD_START: always addressMarkerValue
constexpr int length = 7;           // CMD_BLOCK, CMD_START: 32-bit
constexpr int data = 2;             // CMD_DATA: up to dataBytesPerReport bytes
constexpr int dataCount = 2;        // CMD_DATA_SIZE: 1 to dataBytesPerReport
constexpr int checksum = 2;         // CMD_CHECKSUM: 32-bit
constexpr int firmwareVersion = 2;  // ANS_VERSION: 32-bit, most significant byte first
constexpr int systemVersion = 7;    // ANS_VERSION: four characters

constexpr uint8_t addressMarkerValue = 0xFF;
/** The data of a CMD_DATA fills the rest of its report: 62 bytes. */
constexpr int dataBytesPerReport = reportSize - data;
/** A controller without a system version answers four bytes of this value; it reads as "0.00". */
constexpr uint8_t unsetSystemVersionByte = 0xFF;
constexpr const char* unsetSystemVersion = "0.00";

/** Writes a 32-bit value least significant byte first. */
inline void putLittleEndian32 (uint8_t* report, int offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        report[offset + i] = static_cast<uint8_t> (value >> (8 * i));
}
}  // namespace Report

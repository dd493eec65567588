#pragma once

#include <juce_core/juce_core.h>

#include <array>
#include <cstdint>

namespace qvxtest
{

/** Builds update files: 2,097,152 bytes by default, with chosen versions, image contents and a
    correct CRC unless told otherwise. The layout and the CRC are its own, written from the file
    format's figures, never taken from the program: a wrong figure in the program then shows. */
class UpdateFileBuilder
{
public:
    UpdateFileBuilder();

    /** The four firmware version bytes in file order, e.g. { 0x20, 0x19, 0x05, 0x31 }. */
    UpdateFileBuilder& firmwareVersion (std::array<uint8_t, 4> bytes);
    /** The four system version bytes, e.g. "1.02". */
    UpdateFileBuilder& systemVersion (const char (&text)[5]);
    UpdateFileBuilder& systemVersionBytes (std::array<uint8_t, 4> bytes);
    /** Fills every byte with a pattern that differs per image (and per offset), so that a byte
        taken from the wrong place shows. */
    UpdateFileBuilder& distinctImagePatterns();
    /** Stores the CRC high byte first, the way the file must not. */
    UpdateFileBuilder& crcHighByteFirst();
    /** Stores a CRC that does not match. */
    UpdateFileBuilder& wrongCrc();
    /** A file of another length (the CRC then sits in its last two bytes). */
    UpdateFileBuilder& size (size_t bytes);

    /** The finished contents, versions and CRC written in. */
    juce::MemoryBlock build() const;

    /** Writes the contents to folder/name and returns the file. */
    juce::File writeTo (const juce::File& folder, const juce::String& name = "qvx720__v100.bin") const;

    /** The byte that distinctImagePatterns() puts at this offset. */
    static uint8_t patternByte (int64_t offset);

    /** CRC-16/XMODEM (polynomial 0x1021, initial value 0, no reflection, no final XOR), the CRC
        that the file stores. */
    static uint16_t crc16Xmodem (const uint8_t* data, size_t count);

private:
    juce::MemoryBlock m_data;
    std::array<uint8_t, 4> m_firmwareVersion{ 0x20, 0x19, 0x05, 0x31 };
    std::array<uint8_t, 4> m_systemVersion{ '1', '.', '0', '2' };
    enum class Crc
    {
        good,
        highByteFirst,
        wrong
    } m_crc = Crc::good;
};

}  // namespace qvxtest

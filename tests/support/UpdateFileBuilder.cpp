#include "support/UpdateFileBuilder.h"

namespace qvxtest
{

namespace
{
// The file's layout, from the format's own figures.
constexpr size_t fileSize = 2097152;
constexpr int64_t subImageOffset = 0x090000;
constexpr int64_t systemImageOffset = 0x1D0000;
constexpr int64_t systemVersionOffset = 0x1D0000;
constexpr int64_t firmwareVersionOffset = 0x1DFFFC;

/** The table-driven form of the CRC, its table built by the shift register of the polynomial. */
struct Crc16XmodemTable
{
    Crc16XmodemTable()
    {
        for (unsigned byte = 0; byte < 256; ++byte)
        {
            unsigned reg = 0;
            for (int bit = 7; bit >= 0; --bit)
            {
                const auto feedback = ((reg >> 15) ^ (byte >> bit)) & 1u;
                reg = (reg << 1) & 0xFFFFu;
                if (feedback != 0)
                    reg ^= 0x1021u;
            }
            entries[byte] = static_cast<uint16_t> (reg);
        }
    }

    uint16_t entries[256];
};
}  // namespace

UpdateFileBuilder::UpdateFileBuilder()
    : m_data (fileSize, true)
{
}

UpdateFileBuilder& UpdateFileBuilder::firmwareVersion (std::array<uint8_t, 4> bytes)
{
    m_firmwareVersion = bytes;
    return *this;
}

UpdateFileBuilder& UpdateFileBuilder::systemVersion (const char (&text)[5])
{
    for (size_t i = 0; i < 4; ++i)
        m_systemVersion[i] = static_cast<uint8_t> (text[i]);
    return *this;
}

UpdateFileBuilder& UpdateFileBuilder::systemVersionBytes (std::array<uint8_t, 4> bytes)
{
    m_systemVersion = bytes;
    return *this;
}

uint8_t UpdateFileBuilder::patternByte (int64_t offset)
{
    // A different mix per image region, so that a block read from the wrong image or offset
    // does not match by accident.
    const auto region = offset < subImageOffset ? 1 : offset < systemImageOffset ? 2 : 3;
    const auto x =
        static_cast<uint32_t> (offset) * 2654435761u + static_cast<uint32_t> (region) * 0x9E3779B9u;
    return static_cast<uint8_t> ((x >> 24) ^ (x >> 11) ^ static_cast<uint32_t> (region));
}

UpdateFileBuilder& UpdateFileBuilder::distinctImagePatterns()
{
    auto* bytes = static_cast<uint8_t*> (m_data.getData());

    for (size_t i = 0; i < m_data.getSize(); ++i)
        bytes[i] = patternByte (static_cast<int64_t> (i));

    return *this;
}

UpdateFileBuilder& UpdateFileBuilder::crcHighByteFirst()
{
    m_crc = Crc::highByteFirst;
    return *this;
}

UpdateFileBuilder& UpdateFileBuilder::wrongCrc()
{
    m_crc = Crc::wrong;
    return *this;
}

UpdateFileBuilder& UpdateFileBuilder::size (size_t bytes)
{
    m_data.setSize (bytes, true);
    return *this;
}

juce::MemoryBlock UpdateFileBuilder::build() const
{
    auto data = m_data;
    auto* bytes = static_cast<uint8_t*> (data.getData());
    const auto length = static_cast<int64_t> (data.getSize());

    if (length >= firmwareVersionOffset + 4)
        for (int i = 0; i < 4; ++i)
            bytes[firmwareVersionOffset + i] = m_firmwareVersion[static_cast<size_t> (i)];

    if (length >= systemVersionOffset + 4)
        for (int i = 0; i < 4; ++i)
            bytes[systemVersionOffset + i] = m_systemVersion[static_cast<size_t> (i)];

    if (length >= 2)
    {
        auto crc = crc16Xmodem (bytes, static_cast<size_t> (length - 2));

        if (m_crc == Crc::wrong)
            crc = static_cast<uint16_t> (crc ^ 0x0101);

        const auto low = static_cast<uint8_t> (crc & 0xFF);
        const auto high = static_cast<uint8_t> (crc >> 8);
        const bool highFirst = m_crc == Crc::highByteFirst;
        bytes[length - 2] = highFirst ? high : low;
        bytes[length - 1] = highFirst ? low : high;
    }

    return data;
}

uint16_t UpdateFileBuilder::crc16Xmodem (const uint8_t* data, size_t count)
{
    static const Crc16XmodemTable table;
    unsigned crc = 0;

    for (size_t i = 0; i < count; ++i)
        crc = ((crc << 8) ^ table.entries[((crc >> 8) ^ data[i]) & 0xFFu]) & 0xFFFFu;

    return static_cast<uint16_t> (crc);
}

juce::File UpdateFileBuilder::writeTo (const juce::File& folder, const juce::String& name) const
{
    const auto file = folder.getChildFile (name);
    const auto data = build();
    file.replaceWithData (data.getData(), data.getSize());
    return file;
}

}  // namespace qvxtest

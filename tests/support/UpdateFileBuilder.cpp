#include "support/UpdateFileBuilder.h"

#include "ui/MainComponent.h"

namespace qvxtest
{

UpdateFileBuilder::UpdateFileBuilder()
    : m_data (static_cast<size_t> (UpdFileFormat::fileSize), true)
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
    const auto region = offset < UpdFileFormat::subOffset ? 1 : offset < UpdFileFormat::sysOffset ? 2 : 3;
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

    if (length >= UpdFileFormat::firmwareVersionOffset + 4)
        for (int i = 0; i < 4; ++i)
            bytes[UpdFileFormat::firmwareVersionOffset + i] = m_firmwareVersion[static_cast<size_t> (i)];

    if (length >= UpdFileFormat::sysVersionOffset + 4)
        for (int i = 0; i < 4; ++i)
            bytes[UpdFileFormat::sysVersionOffset + i] = m_systemVersion[static_cast<size_t> (i)];

    if (length >= 2)
    {
        auto crc = MainComponent::CalcCRC (bytes, static_cast<long> (length - 2));

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

juce::File UpdateFileBuilder::writeTo (const juce::File& folder, const juce::String& name) const
{
    const auto file = folder.getChildFile (name);
    const auto data = build();
    file.replaceWithData (data.getData(), data.getSize());
    return file;
}

}  // namespace qvxtest

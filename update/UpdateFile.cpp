#include "update/UpdateEngine.h"

#include "platform/io/RegularFile.h"
#include "update/UpdateFileFormat.h"
#include "update/UpdateFileReading.h"

namespace
{
constexpr auto updateFilePattern = "qvx720__v*.bin";
constexpr int updateFileNameLength = 16;
/** Characters 3 to 5 of a name are its key: the model digits "720" under the pattern. */
constexpr int keyStart = 3;
constexpr int keyEnd = 6;

struct ImageLayout
{
    uint8_t target;
    int64_t fileOffset;
    int64_t size;
    int64_t address;
};

// Offsets in the file and addresses in the controller are equal, but kept apart on purpose.
constexpr ImageLayout imageLayouts[UPD_KIND_NUM] = {
    { TARGET_MAIN, UpdFileFormat::mainOffset, UpdFileFormat::mainSize, UpdFileFormat::mainOffset },
    { TARGET_SUB, UpdFileFormat::subOffset, UpdFileFormat::subSize, UpdFileFormat::subOffset },
    { TARGET_SYS, UpdFileFormat::sysOffset, UpdFileFormat::sysSize, UpdFileFormat::sysOffset },
};

bool isAsciiDigit (juce::juce_wchar c)
{
    return c >= '0' && c <= '9';
}
}  // namespace

void UpdateEngine::CheckUpdFile()
{
    const auto chosen = findUpdFile();

    if (chosen == juce::File() || !chosen.existsAsFile())
    {
        m_fileReady = FILE_NOT_READY;
        m_state.fail (ERR_FILE_NOT_FOUND);
        return;
    }

    acceptUpdFile (chosen);
}

juce::File UpdateEngine::findUpdFile() const
{
    // The first 16-character name the directory yields wins: its key is the model digits, so
    // every candidate has the same key. The match ignores case.
    juce::File chosen;
    int bestKey = 0;

    for (const auto& entry :
         juce::RangedDirectoryIterator (m_updateFolder, false, "*", juce::File::findFiles))
    {
        const auto name = entry.getFile().getFileName();

        if (!name.matchesWildcard (updateFilePattern, true) || name.length() != updateFileNameLength)
            continue;

        const auto key = name.substring (keyStart, keyEnd).getIntValue();

        if (key > bestKey)
        {
            bestKey = key;
            chosen = entry.getFile();
        }
    }

    return chosen;
}

void UpdateEngine::acceptUpdFile (const juce::File& chosen)
{
    const auto result =
        ParseUpdFile (chosen, static_cast<int> (UpdFileFormat::fileSize), &m_fileVer, m_fileSysVer);

    for (auto& image : m_updImage)
        image.m_status = result;

    if (result == ERR_FILE_NOT_FOUND)
    {
        // It was there a moment ago: not the user's missing file, something odd.
        m_state.fail (ERR_GENERAL);
        return;
    }

    if (result != IMAGE_LOADED)
    {
        m_state.fail (result);
        return;
    }

    for (int kind = 0; kind < UPD_KIND_NUM; ++kind)
    {
        auto& image = m_updImage[kind];
        const auto& layout = imageLayouts[kind];
        image.m_file = chosen;
        image.m_size = layout.size;
        image.m_fileOffset = layout.fileOffset;
        image.m_address = layout.address;
        image.m_target = layout.target;
    }

    m_fileReady = FILE_READY;
}

int UpdateEngine::ParseUpdFile (const juce::File& file, int requiredSize, unsigned int* pFileVersion,
                                juce::String& sysVersion)
{
    if (!file.exists())
        return ERR_FILE_NOT_FOUND;

    // A file that cannot be opened is a load error whatever its size; so is anything but a
    // regular file, a pipe among them, which would hold the window until something writes to it.
    // The size is known before a byte is read, so that a file of another size, however large, is
    // never read.
    const auto stream = platform::openRegularFile (file);

    if (stream == nullptr)
        return ERR_FILE_LOAD;

    if (stream->getTotalLength() != requiredSize)
        return ERR_FILE_SIZE;

    // Exactly the size and not a byte more: a file that changes under the read is not loaded.
    juce::MemoryBlock contents (static_cast<size_t> (requiredSize));
    char beyond = 0;

    if (readFully (*stream, contents.getData(), requiredSize) != requiredSize ||
        stream->read (&beyond, 1) != 0)
        return ERR_FILE_LOAD;

    const auto* bytes = static_cast<const uint8_t*> (contents.getData());
    const auto* version = bytes + UpdFileFormat::firmwareVersionOffset;
    *pFileVersion = UpdFileFormat::readFirmwareVersion (version);

    if (!UpdFileFormat::isFirmwareVersionInBounds (version))
        return ERR_FILE_VERSION;

    const auto* sys = bytes + UpdFileFormat::sysVersionOffset;
    juce::juce_wchar sysChars[UpdFileFormat::sysVersionLength + 1] = { sys[0], sys[1], sys[2], sys[3], 0 };
    sysVersion = juce::String (juce::CharPointer_UTF32 (sysChars), UpdFileFormat::sysVersionLength);

    if (!CheckSysVer (sysVersion))
        return ERR_FILE_VERSION;

    const auto storedCrc =
        static_cast<uint16_t> (bytes[UpdFileFormat::crcOffset] | (bytes[UpdFileFormat::crcOffset + 1] << 8));

    if (CalcCRC (bytes, static_cast<long> (UpdFileFormat::crcOffset)) != storedCrc)
        return ERR_FILE_CRC;

    // What passed is what the worker may send.
    m_checkedFileContents = std::move (contents);
    return IMAGE_LOADED;
}

bool UpdateEngine::CheckSysVer (juce::String& sysVersion)
{
    if (sysVersion.length() < UpdFileFormat::sysVersionLength)
        return false;

    return isAsciiDigit (sysVersion[0]) && sysVersion[1] == '.' && isAsciiDigit (sysVersion[2]) &&
           isAsciiDigit (sysVersion[3]);
}

uint16_t UpdateEngine::CalcCRC (const unsigned char* data, long count)
{
    uint16_t crc = 0;

    for (long i = 0; i < count; ++i)
    {
        crc = static_cast<uint16_t> (crc ^ (data[i] << 8));

        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) != 0 ? static_cast<uint16_t> ((crc << 1) ^ UpdFileFormat::crcPolynomial)
                                      : static_cast<uint16_t> (crc << 1);
    }

    return crc;
}

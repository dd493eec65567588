// The update file changes while the window is open, between its check and one of the blocks:
// whatever the change, the controller is sent only bytes that passed the check.
#include "support/EngineHarness.h"
#include "support/MessageLoop.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>

using namespace qvxtest;

namespace
{

struct ChangeCase
{
    const char* name;
    /** The number of blocks the controller has written when the file changes. */
    int blocksBefore;
    std::function<void (const juce::File&)> change;
};

const char* path (const juce::File& file)
{
    return file.getFullPathName().toRawUTF8();
}

void overwriteByte (const juce::File& file, off_t offset)
{
    const int fd = ::open (path (file), O_RDWR | O_CLOEXEC);
    ASSERT_GE (fd, 0) << std::strerror (errno);
    uint8_t byte = 0;
    const auto changed = ::pread (fd, &byte, 1, offset) == 1 &&
                         (byte = static_cast<uint8_t> (byte ^ 0x5A), ::pwrite (fd, &byte, 1, offset) == 1);
    ::close (fd);
    ASSERT_TRUE (changed) << std::strerror (errno);
}

void appendByte (const juce::File& file)
{
    ASSERT_TRUE (file.appendData ("x", 1));
}

void truncateTo (const juce::File& file, off_t size)
{
    ASSERT_EQ (::truncate (path (file), size), 0) << std::strerror (errno);
}

/** Puts another file in its place in one step, as a copy from elsewhere would. */
void replaceWith (const juce::File& file, const juce::MemoryBlock& contents)
{
    const auto other = file.getSiblingFile ("replacement.tmp");
    ASSERT_TRUE (other.replaceWithData (contents.getData(), contents.getSize()));
    ASSERT_TRUE (other.moveFileTo (file));
}

void replaceWithSymbolicLinkTo (const juce::File& file, const char* target)
{
    ASSERT_TRUE (file.deleteFile());
    ASSERT_TRUE (juce::File (target).createSymbolicLink (file, true));
}

const ChangeCase changeCases[] = {
    { "TruncatedOnTheVersionScreen", 0, [] (const juce::File& f) { truncateTo (f, 0x100000); } },
    { "OneByteChangedOnTheVersionScreen", 0, [] (const juce::File& f) { overwriteByte (f, 0x100); } },
    // The next block's own bytes are still the checked ones: the file is shorter all the same.
    { "TruncatedToOneMiB", 1, [] (const juce::File& f) { truncateTo (f, 0x100000); } },
    { "TruncatedInsideTheNextBlock", 1, [] (const juce::File& f) { truncateTo (f, 0x30000); } },
    { "GrownByOneByte", 1, appendByte },
    { "OneByteChangedInTheNextBlock", 1, [] (const juce::File& f) { overwriteByte (f, 0x21000); } },
    { "OneByteChangedInTheSecondImage", 5, [] (const juce::File& f) { overwriteByte (f, 0x091000); } },
    { "ReplacedByAnotherUpdateFile", 6,
      [] (const juce::File& f) { replaceWith (f, UpdateFileBuilder().systemVersion ("1.10").build()); } },
    { "Deleted", 1, [] (const juce::File& f) { ASSERT_TRUE (f.deleteFile()); } },
    // The kernel lets no one read this one, root included.
    { "MadeUnreadable", 1,
      [] (const juce::File& f) { replaceWithSymbolicLinkTo (f, "/proc/sys/vm/drop_caches"); } },
    // Opening a pipe would wait for a writer for ever.
    { "ReplacedByAPipe", 1,
      [] (const juce::File& f)
      {
          ASSERT_TRUE (f.deleteFile());
          ASSERT_EQ (::mkfifo (path (f), 0600), 0) << std::strerror (errno);
      } },
    { "ReplacedByAFolder", 1,
      [] (const juce::File& f)
      {
          ASSERT_TRUE (f.deleteFile());
          ASSERT_TRUE (f.createDirectory());
      } },
};

void PrintTo (const ChangeCase& c, std::ostream* os)
{
    *os << c.name;
}

uint32_t field32 (const ReportBytes& report, int offset)
{
    return static_cast<uint32_t> (report[offset]) | (static_cast<uint32_t> (report[offset + 1]) << 8) |
           (static_cast<uint32_t> (report[offset + 2]) << 16) |
           (static_cast<uint32_t> (report[offset + 3]) << 24);
}

/** What the controller was sent of the file: the data bytes of every data report, each beside
    the byte of the checked file at its address. */
struct SentBytes
{
    int64_t sent = 0;
    int64_t differing = 0;
    int64_t firstDifferingAddress = -1;
    int reportsWithDifferingBytes = 0;
};

SentBytes compareSentBytes (const std::vector<ReportBytes>& reports, const juce::MemoryBlock& checked)
{
    SentBytes result;
    const auto* file = static_cast<const uint8_t*> (checked.getData());
    int64_t address = 0;
    int count = -1;

    for (const auto& report : reports)
    {
        switch (report[Report::command])
        {
            case CMD_BLOCK:
                address = field32 (report, Report::address);
                break;
            case CMD_DATA_SIZE:
                count = report[Report::dataCount];
                break;
            case CMD_DATA:
            {
                const auto n = count >= 0 ? count : Report::dataBytesPerReport;
                bool differs = false;

                for (int i = 0; i < n; ++i, ++address)
                {
                    ++result.sent;

                    if (address >= static_cast<int64_t> (checked.getSize()) ||
                        report[static_cast<size_t> (Report::data + i)] != file[address])
                    {
                        differs = true;
                        ++result.differing;
                        if (result.firstDifferingAddress < 0)
                            result.firstDifferingAddress = address;
                    }
                }

                result.reportsWithDifferingBytes += differs ? 1 : 0;
                count = -1;
                break;
            }
            default:
                break;
        }
    }

    return result;
}

struct UpdateFileChange : testing::TestWithParam<ChangeCase>
{
};

}  // namespace

TEST_P (UpdateFileChange, NothingButTheCheckedBytesReachesTheController)
{
    const auto& row = GetParam();
    EngineHarness harness;
    auto& component = harness.start();
    const auto file = harness.updateFile;

    ASSERT_TRUE (harness.toVersionScreen()) << std::hex << component.m_state.load();

    if (row.blocksBefore == 0)
        row.change (file);

    harness.pressStart();

    if (row.blocksBefore > 0)
    {
        // Once the controller has the byte sum of the last block before the change, the worker
        // needs three more answers (the sum's, the status poll's, the next block header's) before
        // it reads the file again; every answer passes through this thread, which looks after each.
        const auto sums = static_cast<size_t> (row.blocksBefore);
        ASSERT_TRUE (pumpUntil (
            [&] { return harness.controller.receiveTimesOf (CMD_CHECKSUM).size() >= sums; }, 60000))
            << "state " << std::hex << component.m_state.load();
        ASSERT_EQ (harness.controller.receiveTimesOf (CMD_CHECKSUM).size(), sums);
        row.change (file);
    }

    ASSERT_TRUE (harness.waitForWorkerEnd (120000)) << "state " << std::hex << component.m_state.load();
    pumpFor (50);

    const auto received = harness.controller.model.received();
    const auto sent = compareSentBytes (received, harness.fileContents);
    EXPECT_EQ (sent.differing, 0) << sent.differing << " of " << sent.sent << " bytes sent in "
                                  << sent.reportsWithDifferingBytes
                                  << " reports differ from the checked file, "
                                  << "the first at 0x" << std::hex << sent.firstDifferingAddress;

    const auto memory = harness.controller.model.memory();
    const auto* checked = static_cast<const uint8_t*> (harness.fileContents.getData());
    int64_t foreign = 0;
    for (size_t i = 0; i < memory.size(); ++i)
        foreign += memory[i] != checked[i] && memory[i] != ControllerModel::untouched ? 1 : 0;
    EXPECT_EQ (foreign, 0) << "bytes in the controller's memory that the checked file does not hold there";

    EXPECT_EQ (component.m_state.load(), ERR_FILE_OPEN) << std::hex << component.m_state.load();
    EXPECT_EQ (component.m_finished.load(), 0);
    EXPECT_LT (component.m_progress.load(), 1.0);
    EXPECT_TRUE (harness.controller.model.receivedWithCommand (CMD_COMPLETE).empty());

    // The blocks before the change went whole; the next one stopped at its header.
    EXPECT_EQ (harness.controller.model.receivedWithCommand (CMD_CHECKSUM).size(),
               static_cast<size_t> (row.blocksBefore));
    ASSERT_FALSE (received.empty());
    EXPECT_EQ (received.back()[Report::command], CMD_BLOCK);
}

INSTANTIATE_TEST_SUITE_P (BetweenCheckAndBlock, UpdateFileChange, testing::ValuesIn (changeCases),
                          [] (const testing::TestParamInfo<ChangeCase>& info)
                          { return std::string (info.param.name); });

TEST (UpdateFileChange, AnUnchangedCopyPutInPlaceLetsTheUpdateComplete)
{
    // A new file with the checked bytes is no change: the update goes on to the end.
    EngineHarness harness;
    auto& component = harness.start();
    const auto file = harness.updateFile;
    ASSERT_TRUE (harness.toVersionScreen()) << std::hex << component.m_state.load();

    harness.pressStart();
    ASSERT_TRUE (
        pumpUntil ([&] { return harness.controller.receiveTimesOf (CMD_CHECKSUM).size() >= 1; }, 60000));
    replaceWith (file, harness.fileContents);
    ASSERT_TRUE (harness.waitForWorkerEnd (120000)) << "state " << std::hex << component.m_state.load();

    EXPECT_EQ (component.m_state.load(), STATE_COMPLETE) << std::hex << component.m_state.load();
    EXPECT_EQ (component.m_finished.load(), 1);
    EXPECT_EQ (compareSentBytes (harness.controller.model.received(), harness.fileContents).differing, 0);
}

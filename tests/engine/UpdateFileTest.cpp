#include "support/ChildProgram.h"
#include "support/SimulatedHid.h"
#include "support/TemporaryFolder.h"
#include "support/TestEngine.h"
#include "support/UpdateFileBuilder.h"
#include "support/UpdateStateProbe.h"
#include "update/Protocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <future>
#include <string>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

using qvxtest::TemporaryFolder;
using qvxtest::TestEngine;
using qvxtest::UpdateFileBuilder;

namespace
{

/** The update file is looked for in this folder; the simulated bus has no controller on it. */
EngineSettings lookingIn (const juce::File& folder)
{
    return { folder, qvxtest::SimulatedHid::backend() };
}

struct UpdateFileTest : testing::Test
{

    void expectTableUntouched()
    {
        for (const auto& image : component.m_updImage)
        {
            EXPECT_EQ (image.m_file, juce::File());
            EXPECT_EQ (image.m_size, 0);
            EXPECT_EQ (image.m_fileOffset, 0);
            EXPECT_EQ (image.m_address, 0);
            EXPECT_EQ (image.m_target, 0);
        }
    }

    /** Every name in the folder, in the order the directory itself yields them (readdir). */
    static std::vector<std::string> namesInDirectoryOrder (const juce::File& directory)
    {
        std::vector<std::string> names;
        if (auto* stream = ::opendir (directory.getFullPathName().toRawUTF8()))
        {
            while (const auto* entry = ::readdir (stream))
                if (std::strcmp (entry->d_name, ".") != 0 && std::strcmp (entry->d_name, "..") != 0)
                    names.emplace_back (entry->d_name);
            ::closedir (stream);
        }
        return names;
    }

    /** Flips the file's last byte without rewriting the file. */
    static void corruptLastByteInPlace (const juce::File& file)
    {
        const auto fd = ::open (file.getFullPathName().toRawUTF8(), O_RDWR);
        ASSERT_GE (fd, 0);
        const auto last = static_cast<off_t> (file.getSize() - 1);
        uint8_t byte = 0;
        ASSERT_EQ (::pread (fd, &byte, 1, last), 1);
        byte = static_cast<uint8_t> (byte ^ 0xFF);
        ASSERT_EQ (::pwrite (fd, &byte, 1, last), 1);
        ::close (fd);
    }

    TemporaryFolder folder;
    TestEngine component{ lookingIn (folder.get()) };
};

}  // namespace

TEST (CalcCRC, MatchesTheXmodemCheckValues)
{
    struct Case
    {
        const char* input;
        long count;
        uint16_t crc;
    };

    const Case cases[] = {
        { "123456789", 9, 0x31C3 },
        { "abc", 3, 0x9DD6 },
        { "", 0, 0x0000 },
        { "abc", -1, 0x0000 },
    };

    for (const auto& c : cases)
        EXPECT_EQ (UpdateEngine::CalcCRC (reinterpret_cast<const unsigned char*> (c.input), c.count), c.crc)
            << c.input << " / " << c.count;
}

TEST (UpdateFileBuilderCrc, IsTheStandardXmodem)
{
    // The fixture's own CRC, checked against the standard's check value rather than the program.
    const char* check = "123456789";
    EXPECT_EQ (UpdateFileBuilder::crc16Xmodem (reinterpret_cast<const uint8_t*> (check), 9), 0x31C3);
    EXPECT_EQ (UpdateFileBuilder::crc16Xmodem (nullptr, 0), 0x0000);
}

TEST (CheckSysVer, AcceptsOnlyDigitPointDigitDigit)
{
    struct Case
    {
        juce::String text;
        bool valid;
    };

    const Case cases[] = {
        { "1.02", true },
        { "0.00", true },
        { "9.99x", true },  // what follows the fourth character is not looked at
        { "1.0A", false },
        { "10.0", false },
        { "1,02", false },
        { " 1.0", false },
        { "1.0", false },
        { "", false },
        { juce::String (juce::CharPointer_UTF8 ("\xd9\xa1.\xd9\xa0\xd9\xa2")),
          false },  // Arabic-Indic digits
    };

    for (auto c : cases)
        EXPECT_EQ (UpdateEngine::CheckSysVer (c.text), c.valid) << c.text;
}

TEST (UpdateEngineMembers, StartOnTheLanguageScreenWithNothingKnown)
{
    TemporaryFolder folder;
    TestEngine component{ lookingIn (folder.get()) };
    EXPECT_EQ (component.m_state.load(), STATE_INIT);
    EXPECT_EQ (component.m_fileReady, 0);
    EXPECT_EQ (component.m_progress.load(), 0.0);
    EXPECT_EQ (component.m_totalDataSize, 0);
    EXPECT_TRUE (component.m_fileSysVer.isEmpty());
    EXPECT_TRUE (component.m_deviceSysVer.isEmpty());
    EXPECT_FALSE (component.m_mainImageStarted.load());
    EXPECT_FALSE (component.m_startPressed);
    EXPECT_EQ (component.m_finished.load(), 0);

    for (const auto& image : component.m_updImage)
    {
        EXPECT_EQ (image.m_file, juce::File());
        EXPECT_EQ (image.m_size | image.m_fileOffset | image.m_address, 0);
        EXPECT_EQ (image.m_status, 0);
        EXPECT_EQ (image.m_target, 0);
    }
}

TEST_F (UpdateFileTest, AGoodFileFillsTheImageTableAndLeavesTheStateAlone)
{
    const auto file = UpdateFileBuilder()
                          .firmwareVersion ({ 0x20, 0x19, 0x05, 0x31 })
                          .systemVersion ("1.05")
                          .writeTo (folder.get());

    component.CheckUpdFile();

    EXPECT_EQ (component.m_state.load(), STATE_INIT);
    EXPECT_EQ (component.m_fileReady, 8);
    EXPECT_EQ (component.m_fileVer, 0x20190531u);
    EXPECT_EQ (component.m_fileSysVer, "1.05");

    struct Expected
    {
        uint8_t target;
        int64_t offset, size, address;
    };

    const Expected expected[] = {
        { TARGET_MAIN, 0x000000, 0x090000, 0x000000 },
        { TARGET_SUB, 0x090000, 0x13E000, 0x090000 },
        { TARGET_SYS, 0x1D0000, 0x010000, 0x1D0000 },
    };

    for (int kind = 0; kind < UPD_KIND_NUM; ++kind)
    {
        const auto& image = component.m_updImage[kind];
        EXPECT_EQ (image.m_file, file);
        EXPECT_EQ (image.m_target, expected[kind].target);
        EXPECT_EQ (image.m_fileOffset, expected[kind].offset);
        EXPECT_EQ (image.m_size, expected[kind].size);
        EXPECT_EQ (image.m_address, expected[kind].address);
        EXPECT_EQ (image.m_status, IMAGE_LOADED);
    }
}

TEST_F (UpdateFileTest, EachCheckGivesItsErrorAndLeavesTheRestOfTheTable)
{
    struct Case
    {
        const char* what;
        std::function<void (UpdateFileBuilder&)> build;
        int32_t expectedState;
    };

    const Case cases[] = {
        { "one byte short", [] (UpdateFileBuilder& b) { b.size (2097151); }, ERR_FILE_SIZE },
        { "one byte long", [] (UpdateFileBuilder& b) { b.size (2097153); }, ERR_FILE_SIZE },
        { "version at its bounds",
          [] (UpdateFileBuilder& b) {
              b.firmwareVersion ({ 0x20, 0x50, 0x12, 0x31 });
          },
          STATE_INIT },
        { "version all zero",
          [] (UpdateFileBuilder& b) {
              b.firmwareVersion ({ 0, 0, 0, 0 });
          },
          STATE_INIT },
        { "version not BCD",
          [] (UpdateFileBuilder& b) {
              b.firmwareVersion ({ 0x19, 0x1A, 0x0F, 0x00 });
          },
          STATE_INIT },
        { "year over",
          [] (UpdateFileBuilder& b) {
              b.firmwareVersion ({ 0x21, 0, 0, 0 });
          },
          ERR_FILE_VERSION },
        { "second byte over",
          [] (UpdateFileBuilder& b) {
              b.firmwareVersion ({ 0x20, 0x51, 0x01, 0x01 });
          },
          ERR_FILE_VERSION },
        { "month over",
          [] (UpdateFileBuilder& b) {
              b.firmwareVersion ({ 0x20, 0x00, 0x13, 0x00 });
          },
          ERR_FILE_VERSION },
        { "day over",
          [] (UpdateFileBuilder& b) {
              b.firmwareVersion ({ 0x20, 0x00, 0x00, 0x32 });
          },
          ERR_FILE_VERSION },
        { "system version with a letter", [] (UpdateFileBuilder& b) { b.systemVersion ("1.0A"); },
          ERR_FILE_VERSION },
        { "system version 10.0", [] (UpdateFileBuilder& b) { b.systemVersion ("10.0"); }, ERR_FILE_VERSION },
        { "system version with a comma", [] (UpdateFileBuilder& b) { b.systemVersion ("1,02"); },
          ERR_FILE_VERSION },
        { "system version after a blank", [] (UpdateFileBuilder& b) { b.systemVersion (" 1.0"); },
          ERR_FILE_VERSION },
        { "system version ending in 0",
          [] (UpdateFileBuilder& b) {
              b.systemVersionBytes ({ '1', '.', '0', 0 });
          },
          ERR_FILE_VERSION },
        { "CRC high byte first", [] (UpdateFileBuilder& b) { b.crcHighByteFirst(); }, ERR_FILE_CRC },
        { "CRC wrong", [] (UpdateFileBuilder& b) { b.wrongCrc(); }, ERR_FILE_CRC },
        // The checks run in order and the first that fails counts: the versions before the CRC.
        { "year over and CRC wrong",
          [] (UpdateFileBuilder& b) {
              b.firmwareVersion ({ 0x21, 0, 0, 0 }).wrongCrc();
          },
          ERR_FILE_VERSION },
        { "system version with a letter and CRC wrong",
          [] (UpdateFileBuilder& b) { b.systemVersion ("1.0A").wrongCrc(); }, ERR_FILE_VERSION },
        { "one byte short and year over",
          [] (UpdateFileBuilder& b) {
              b.size (2097151).firmwareVersion ({ 0x21, 0, 0, 0 });
          },
          ERR_FILE_SIZE },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        TestEngine fresh (lookingIn (folder.get()));
        UpdateFileBuilder builder;
        c.build (builder);
        const auto data = builder.build();

        if (juce::String (c.what) == "CRC high byte first")
        {
            // Swapped bytes only show when they differ.
            const auto* bytes = static_cast<const uint8_t*> (data.getData());
            ASSERT_NE (bytes[data.getSize() - 1], bytes[data.getSize() - 2]);
        }

        builder.writeTo (folder.get());
        fresh.CheckUpdFile();

        EXPECT_EQ (fresh.m_state.load(), c.expectedState);

        if (c.expectedState == STATE_INIT)
        {
            EXPECT_EQ (fresh.m_fileReady, 8);
            continue;
        }

        EXPECT_EQ (fresh.m_fileReady, 0);

        for (const auto& image : fresh.m_updImage)
        {
            EXPECT_EQ (image.m_status, c.expectedState);
            EXPECT_EQ (image.m_file, juce::File());
            EXPECT_EQ (image.m_size | image.m_fileOffset | image.m_address, 0);
            EXPECT_EQ (image.m_target, 0);
        }
    }
}

TEST_F (UpdateFileTest, VersionsAreStoredBeforeTheyAreChecked)
{
    unsigned int version = 0;
    juce::String sysVersion;
    const auto file = UpdateFileBuilder().firmwareVersion ({ 0x21, 0x02, 0x03, 0x04 }).writeTo (folder.get());

    EXPECT_EQ (component.ParseUpdFile (file, 0x200000, &version, sysVersion), ERR_FILE_VERSION);
    EXPECT_EQ (version, 0x21020304u);
    EXPECT_TRUE (sysVersion.isEmpty());  // not reached

    UpdateFileBuilder().systemVersion ("1.0A").writeTo (folder.get());
    EXPECT_EQ (component.ParseUpdFile (file, 0x200000, &version, sysVersion), ERR_FILE_VERSION);
    EXPECT_EQ (sysVersion, "1.0A");
}

TEST_F (UpdateFileTest, AFailedCheckAfterAGoodOneKeepsTheEarlierTable)
{
    const auto file = UpdateFileBuilder().writeTo (folder.get());
    component.CheckUpdFile();
    ASSERT_EQ (component.m_fileReady, 8);

    UpdateFileBuilder().wrongCrc().writeTo (folder.get());
    component.CheckUpdFile();

    EXPECT_EQ (component.m_state.load(), ERR_FILE_CRC);
    EXPECT_EQ (component.m_fileReady, 8);
    EXPECT_EQ (component.m_updImage[UPD_KIND_SUB].m_file, file);
    EXPECT_EQ (component.m_updImage[UPD_KIND_SUB].m_size, 0x13E000);
    for (const auto& image : component.m_updImage)
        EXPECT_EQ (image.m_status, ERR_FILE_CRC);
}

TEST_F (UpdateFileTest, NoMatchingFileIsNotFound)
{
    struct Case
    {
        const char* what;
        juce::StringArray names;
    };

    const Case cases[] = {
        { "empty folder", {} },
        { "names of other lengths", { "qvx720__v1.bin", "qvx720__v1234.bin", "qvx720__v.bin" } },
        { "other names", { "qvx721__v100.bin", "qvx720_v100.bin", "qvx720__v100.bin.part" } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        TemporaryFolder other;
        for (const auto& name : c.names)
            UpdateFileBuilder().writeTo (other.get(), name);

        TestEngine fresh (lookingIn (other.get()));
        fresh.CheckUpdFile();

        EXPECT_EQ (fresh.m_state.load(), ERR_FILE_NOT_FOUND);
        EXPECT_EQ (fresh.m_fileReady, 0);
    }
}

TEST_F (UpdateFileTest, AFolderWithTheRightNameIsNotAFile)
{
    folder.getChildFile ("qvx720__v100.bin").createDirectory();
    component.CheckUpdFile();
    EXPECT_EQ (component.m_state.load(), ERR_FILE_NOT_FOUND);
}

TEST_F (UpdateFileTest, TheNameMatchIgnoresCase)
{
    const auto file = UpdateFileBuilder().writeTo (folder.get(), "QVX720__V100.BIN");
    component.CheckUpdFile();
    EXPECT_EQ (component.m_fileReady, 8);
    EXPECT_EQ (component.m_updImage[UPD_KIND_MAIN].m_file, file);
}

TEST_F (UpdateFileTest, OnlyTheFirstSixteenCharacterNameTheFolderYieldsIsChecked)
{
    // Candidates with random names and decoys (names of other lengths, a folder), until the
    // folder yields them in an order that tells the rule apart from every other: a decoy comes
    // before the first candidate, which is neither the first nor the last by name, not the last
    // one yielded, and gets a modification time between the others'.
    const auto seed = juce::Random::getSystemRandom().nextInt64();
    SCOPED_TRACE (testing::Message() << "random seed " << seed);
    juce::Random random (seed);

    std::vector<std::string> candidates, yielded;
    std::string first;

    for (int attempt = 0; attempt < 200 && first.empty(); ++attempt)
    {
        folder.get().deleteRecursively();
        folder.get().createDirectory();
        candidates.clear();

        while (candidates.size() < 6)
        {
            const auto name = "qvx720__v" + std::to_string (100 + random.nextInt (900)) + ".bin";
            if (std::find (candidates.begin(), candidates.end(), name) == candidates.end())
                candidates.push_back (name);
        }

        for (const auto& name : candidates)
            UpdateFileBuilder().writeTo (folder.get(), name);
        for (const auto* decoy : { "qvx720__v10.bin", "qvx720__v1000.bin", "QVX720__V1.BIN" })
            UpdateFileBuilder().writeTo (folder.get(), decoy);
        folder.getChildFile ("qvx720__v999.bin").createDirectory();

        yielded = namesInDirectoryOrder (folder.get());
        const auto firstCandidate =
            std::find_first_of (yielded.begin(), yielded.end(), candidates.begin(), candidates.end());
        const auto lastCandidate =
            std::find_first_of (yielded.rbegin(), yielded.rend(), candidates.begin(), candidates.end());
        const auto [lowest, highest] = std::minmax_element (candidates.begin(), candidates.end());

        if (firstCandidate != yielded.begin() && *firstCandidate != *lowest && *firstCandidate != *highest &&
            *firstCandidate != *lastCandidate)
            first = *firstCandidate;
    }

    ASSERT_FALSE (first.empty()) << "the folder never yielded a telling order";

    // Modification times an hour apart, the first candidate's in the middle.
    auto others = candidates;
    others.erase (std::find (others.begin(), others.end(), first));
    others.insert (others.begin() + 2, first);
    const auto base = juce::Time::getCurrentTime() - juce::RelativeTime::days (1);
    for (size_t i = 0; i < others.size(); ++i)
        ASSERT_TRUE (folder.getChildFile (others[i]).setLastModificationTime (
            base + juce::RelativeTime::hours (static_cast<double> (i))));

    std::string order;
    for (const auto& name : yielded)
        order += name + " ";
    SCOPED_TRACE ("the folder yields " + order);

    component.CheckUpdFile();
    EXPECT_EQ (component.m_state.load(), STATE_INIT);
    EXPECT_EQ (component.m_updImage[UPD_KIND_MAIN].m_file.getFileName(), juce::String (first));

    // Made bad in place (a rewrite could move its entry), it fails: the others are never looked at.
    corruptLastByteInPlace (folder.getChildFile (first));
    ASSERT_EQ (namesInDirectoryOrder (folder.get()), yielded);

    TestEngine other (lookingIn (folder.get()));
    other.CheckUpdFile();
    EXPECT_EQ (other.m_state.load(), ERR_FILE_CRC);
}

TEST_F (UpdateFileTest, AFileThatCannotBeOpenedIsALoadErrorAndOneOfAnotherSizeIsNotRead)
{
    // Both ways hold for root too.
    struct Case
    {
        const char* what;
        std::function<bool (const juce::File&)> make;
        int32_t expectedState;
    };

    const Case cases[] = {
        // The kernel lets no one read this file, root included (EACCES), and reports it empty:
        // it cannot be loaded, whatever its size.
        { "file no one may read",
          [] (const juce::File& f)
          { return juce::File ("/proc/sys/vm/drop_caches").createSymbolicLink (f, true); },
          ERR_FILE_LOAD },
        // The kernel reports this file empty but delivers bytes: it is the wrong size before a
        // byte of it is read.
        { "file that states 0 bytes",
          [] (const juce::File& f) { return juce::File ("/proc/self/status").createSymbolicLink (f, true); },
          ERR_FILE_SIZE },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        TemporaryFolder other;
        TestEngine fresh (lookingIn (other.get()));
        ASSERT_TRUE (c.make (other.getChildFile ("qvx720__v100.bin")));

        fresh.CheckUpdFile();

        EXPECT_EQ (fresh.m_state.load(), c.expectedState) << std::hex << fresh.m_state.load();
        EXPECT_EQ (fresh.m_updImage[UPD_KIND_SYS].m_status, c.expectedState);
    }
}

TEST_F (UpdateFileTest, AnythingButARegularFileIsALoadErrorAtOnce)
{
    struct Case
    {
        const char* what;
        std::function<bool (const juce::File&)> make;
    };

    const Case cases[] = {
        // Opening a pipe for reading waits until something opens it for writing.
        { "pipe with nothing writing to it",
          [] (const juce::File& f) { return ::mkfifo (f.getFullPathName().toRawUTF8(), 0600) == 0; } },
        // States 0 bytes and reads as many zeros as asked for.
        { "device",
          [] (const juce::File& f) { return juce::File ("/dev/zero").createSymbolicLink (f, true); } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        TemporaryFolder other;
        TestEngine fresh (lookingIn (other.get()));
        const auto file = other.getChildFile ("qvx720__v100.bin");
        ASSERT_TRUE (c.make (file)) << std::strerror (errno);

        // On a thread of its own, so that a check that waits can be seen waiting and let go.
        std::promise<void> done;
        auto checked = done.get_future();
        std::thread check (
            [&]
            {
                fresh.CheckUpdFile();
                done.set_value();
            });

        const auto returned = checked.wait_for (std::chrono::seconds (10)) == std::future_status::ready;

        if (!returned)
        {
            // A writer ends the wait of a pipe's open.
            const int writer = ::open (file.getFullPathName().toRawUTF8(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (writer >= 0)
                ::close (writer);
        }

        check.join();

        EXPECT_TRUE (returned) << "the check was still waiting after 10 s";
        EXPECT_EQ (fresh.m_state.load(), ERR_FILE_LOAD) << std::hex << fresh.m_state.load();
        EXPECT_EQ (fresh.m_fileReady, 0);
    }
}

TEST_F (UpdateFileTest, AHugeFileOfTheRightNameIsTheWrongSizeWithoutAByteOfItRead)
{
    const auto file = folder.getChildFile ("qvx720__v100.bin");
    ASSERT_TRUE (file.create());
    ASSERT_EQ (::truncate (file.getFullPathName().toRawUTF8(), off_t{ 1 } << 30), 0) << std::strerror (errno);

    // The kernel tells of every read of the file.
    const int watch = ::inotify_init1 (IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE (watch, 0) << std::strerror (errno);
    ASSERT_GE (::inotify_add_watch (watch, file.getFullPathName().toRawUTF8(), IN_ACCESS), 0);

    const auto eventsSoFar = [watch]
    {
        uint32_t mask = 0;
        alignas (inotify_event) char buffer[4096];
        for (ssize_t got; (got = ::read (watch, buffer, sizeof (buffer))) > 0;)
            for (ssize_t at = 0; at < got;)
            {
                const auto* event = reinterpret_cast<const inotify_event*> (buffer + at);
                mask |= event->mask;
                at += static_cast<ssize_t> (sizeof (inotify_event) + event->len);
            }
        return mask;
    };

    component.CheckUpdFile();
    const auto seen = eventsSoFar();

    EXPECT_EQ (component.m_state.load(), ERR_FILE_SIZE) << std::hex << component.m_state.load();
    EXPECT_EQ (seen & IN_ACCESS, 0u) << "the file was read";

    // The watch does see a read of a single byte.
    char byte = 0;
    ASSERT_EQ (file.createInputStream()->read (&byte, 1), 1);
    EXPECT_NE (eventsSoFar() & IN_ACCESS, 0u);
    ::close (watch);
}

TEST_F (UpdateFileTest, AFileThatVanishesBeforeItsCheckIsAGeneralError)
{
    UpdateFileBuilder().writeTo (folder.get());

    // The check's two halves, with the file gone between the choice and the check.
    const auto chosen = component.findUpdFile();
    ASSERT_TRUE (chosen.existsAsFile());
    ASSERT_TRUE (chosen.deleteFile());
    component.acceptUpdFile (chosen);

    EXPECT_EQ (component.m_state.load(), ERR_GENERAL);
    for (const auto& image : component.m_updImage)
        EXPECT_EQ (image.m_status, ERR_FILE_NOT_FOUND);
}

TEST_F (UpdateFileTest, NothingReplacesTheRemovalError)
{
    // A setup, then the check it is followed by once the removal error stands.
    const std::pair<std::function<void()>, std::function<void()>> cases[] = {
        { [] {}, [this] { component.CheckUpdFile(); } },  // nothing found
        { [this] { UpdateFileBuilder().wrongCrc().writeTo (folder.get()); },
          [this] { component.CheckUpdFile(); } },  // check fails
        { [this] { UpdateFileBuilder().writeTo (folder.get()); },
          [this] { component.CheckUpdFile(); } },  // check passes
        { [this] { UpdateFileBuilder().writeTo (folder.get()); },
          [this]
          {
              // gone between the choice and the check
              const auto chosen = component.findUpdFile();
              chosen.deleteFile();
              component.acceptUpdFile (chosen);
          } },
    };

    for (const auto& [setup, check] : cases)
    {
        folder.get().deleteRecursively();
        folder.get().createDirectory();
        setup();
        UpdateStateProbe::put (component.m_state, ERR_REMOVED);
        check();
        EXPECT_EQ (component.m_state.load(), ERR_REMOVED);
    }
}

TEST (UpdateFileLocation, TheFileBesideTheProgramIsFoundFromAnyWorkingFolder)
{
    // Start a copy of the probe through PATH from another folder, as a user's shell would.
    TemporaryFolder programFolder, workingFolder;
    const juce::File probe (QVX_PROBE_qvx_update_file_probe);
    const auto copy = programFolder.getChildFile (probe.getFileName());
    ASSERT_TRUE (probe.copyFileTo (copy));
    ASSERT_TRUE (copy.setExecutePermission (true));
    UpdateFileBuilder().writeTo (programFolder.get());

    const auto command = "cd " + workingFolder.get().getFullPathName().quoted ('\'') +
                         " && PATH=" + programFolder.get().getFullPathName().quoted ('\'') + ":\"$PATH\" " +
                         probe.getFileName();
    qvxtest::ChildProgram child ("/bin/sh", { "-c", command });
    ASSERT_TRUE (child.isStarted());
    const auto status = child.waitForExit (120000);
    ASSERT_TRUE (status.has_value()) << "the probe did not end";

    // Standard error is the framework's (a debug build prints its version banner there).
    EXPECT_EQ (*status, 0) << qvxtest::ChildProgram::describeStatus (*status) << "\n"
                           << child.standardError();
    EXPECT_EQ (child.standardOutput(), "ready 8 state 0\n") << child.standardError();
}

#pragma once

#include "update/UpdateState.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <functional>

/** The window's content and the holder of the update: its members describe the running update
    and are shared by the message thread and the worker thread.

    Construct, use and destroy it on the message thread. */
class MainComponent : public juce::Component
{
public:
    MainComponent();
    ~MainComponent() override;

    //==============================================================================
    // The update file.

    /** Finds the update file beside the executable, checks it and fills m_updImage, or writes
        the file's error into m_state. Message thread, before the worker runs. */
    void CheckUpdFile();

    /** Loads and checks one file. Returns IMAGE_LOADED, or the ErrId_t of the first failed check.
        The two versions are written as soon as they are read, also when their check fails. */
    int ParseUpdFile (const juce::File& file, int requiredSize, unsigned int* pFileVersion,
                      juce::String& sysVersion);

    /** True when the first four characters are a digit, a full stop and two digits. */
    static bool CheckSysVer (juce::String& sysVersion);

    /** CRC-16/XMODEM of the bytes; 0 for a count of 0 or less. */
    static uint16_t CalcCRC (const unsigned char* data, long count);

    //==============================================================================
    // The state value.

    /** Writes the state unless it already holds ERR_REMOVED, which nothing replaces.
        Returns whether it wrote. Any thread; one atomic step. */
    bool SetStateUnlessRemoved (int32_t newState);

    //==============================================================================
    // Update members, shared by the message thread and the worker.

    std::atomic<double> m_progress{ 0.0 };
    juce::CriticalSection m_drawLock;
    UpdImage m_updImage[UPD_KIND_NUM];
    int64_t m_totalDataSize = 0;
    std::atomic<int32_t> m_state{ STATE_INIT };
    int32_t m_fileReady = 0;
    uint32_t m_fileVer = 0;
    uint32_t m_deviceVer = 0;
    juce::String m_fileSysVer;
    juce::String m_deviceSysVer;
    int32_t m_blockSum = 0;
    std::atomic<int32_t> m_updKind{ UPD_KIND_MAIN };
    std::atomic<bool> m_mainImageStarted{ false };
    bool m_startPressed = false;
    std::atomic<int32_t> m_finished{ 0 };

    //==============================================================================
    // Test seams; the program leaves them alone.

    /** Look for the update file in this folder instead of the executable's. */
    juce::File m_updateFolderForTests;

    /** Called once the update file is chosen, just before it is checked. */
    std::function<void (const juce::File&)> m_onUpdateFileChosenForTests;

private:
    juce::File getUpdateFolder() const;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainComponent)
};

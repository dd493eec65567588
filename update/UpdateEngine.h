#pragma once

#include "hid/HidHandler.h"
#include "update/EngineSettings.h"
#include "update/Protocol.h"
#include "update/UpdateState.h"

#include <juce_events/juce_events.h>

#include <atomic>
#include <functional>

class HidCtrl;

/** The update: finds and checks the update file, owns the controller link and hears of its events,
    asks the controller for its mode and versions, and runs the worker thread "UpdatingThread"
    (run()) that writes the images into the controller. Its members describe the running update;
    the message thread and the worker share them, and the window draws from them.

    The window derives from it and asks for nothing but redraws: the engine requests one through
    requestRedraw(), always with m_drawLock held. A derived class stops the worker (stopWorker())
    first thing in its destructor, since the worker calls requestRedraw().

    Construct, use and destroy it on the message thread; the constructor opens the controller
    link. */
class UpdateEngine : public juce::Thread, public HidHandler
{
public:
    explicit UpdateEngine (EngineSettings settings = {});
    ~UpdateEngine() override;

    //==============================================================================
    // The worker.

    /** The update's state machine. Worker thread only. */
    void run() override;

    /** Starts the worker with no answer pending. At most once per engine; message thread. */
    void startWorker();

    /** Tells the worker to stop, wakes it and waits up to 5 s for it to end. A worker woken in an
        exchange sends nothing more and writes no error of its own. Message thread. */
    void stopWorker();

    //==============================================================================
    // Events of the controller link, on the message thread.

    /** Sets ERR_REMOVED while an update is under way, wakes and stops the worker, redraws. Ends
        the wait for the abort's answer, which cannot come any more. */
    void removalCallBack() override;
    /** Nothing: a controller plugged in later only shows in the link's m_connected. */
    void matchingCallBack() override;
    /** Wakes the worker that waits for the answer just taken, or ends the wait for the abort's. */
    void inputCallBack (int) override;
    /** Takes the controller's answer into m_response. */
    void inputReportCallBack (const uint8_t* report, size_t length) override;

    //==============================================================================
    // The exchange with the controller.

    /** Sends m_sendData and waits for the answer. Returns false when no answer came in time,
        and at once, with a line on standard error, when the request could not be sent; true
        when one came (it is then in m_answer; an answer that does not echo the request's
        target, or ANS_ERROR with reason 5, has made the state ERR_GENERAL), and true at once,
        without sending, once the worker has been told to exit or the controller was removed.
        Any thread, one exchange at a time. */
    bool SendDataAndWaitResponse();

    /** Cancel or Close after the language screen: stops the worker and offers the controller the
        abort report, unless the worker had already told itself to stop or the controller was
        removed. Returns false when nothing went out: there is nothing to await. Otherwise the
        wait runs on the message loop and calls onWaitEnd once, on the abort's own answer, the
        controller's removal or the exchange's time-out. Message thread. */
    bool offerAbortReport (std::function<void()> onWaitEnd);

    /** Asks whether the controller may be updated and, when the file was accepted, reads its
        versions and marks the images to send. False with the error in m_state. Worker thread. */
    bool CheckDeviceMode();
    /** Reads the controller's versions and marks the images. False with the error in m_state. */
    bool CheckDeviceVersion();

    //==============================================================================
    // The update file.

    /** Finds the update file in the update folder, checks it and fills m_updImage, or writes the
        file's error into m_state. Message thread, before the worker runs. */
    void CheckUpdFile();

    /** The update file of the update folder: the first 16-character name matching the pattern
        that the folder yields. An empty File when there is none. */
    juce::File findUpdFile() const;

    /** Checks the chosen file and fills the image table, or writes its error into m_state: the
        second half of CheckUpdFile. A file gone since it was chosen is ERR_GENERAL. */
    void acceptUpdFile (const juce::File& chosen);

    /** Loads and checks one file. Returns IMAGE_LOADED, or the ErrId_t of the first failed check.
        The two versions are written as soon as they are read, also when their check fails. A
        file of another size than requiredSize is not read. The contents of a file that passes
        are kept in m_checkedFileContents. */
    int ParseUpdFile (const juce::File& file, int requiredSize, unsigned int* pFileVersion,
                      juce::String& sysVersion);

    /** True when the first four characters are a digit, a full stop and two digits. */
    static bool CheckSysVer (juce::String& sysVersion);

    /** CRC-16/XMODEM of the bytes; 0 for a count of 0 or less. */
    static uint16_t CalcCRC (const unsigned char* data, long count);

    //==============================================================================
    // The state value.

    /** Writes the state unless it already holds ERR_REMOVED, which nothing replaces, and, on
        the worker thread, unless the worker has been told to stop. Returns whether it wrote.
        Any thread; one atomic step. */
    bool SetStateUnlessRemoved (int32_t newState);

    /** Whether the system reported by juce::SystemStats::getOperatingSystemType() is Mac OS X
        10.6 or older. */
    static bool isMacOSX106OrOlder (int operatingSystemType);

    //==============================================================================
    // Update and exchange members, shared by the message thread and the worker.

    /** Written by the worker. */
    std::atomic<double> m_progress{ 0.0 };
    /** Held around each redraw request and around each redraw the window runs on one. */
    juce::CriticalSection m_drawLock;
    juce::WaitableEvent m_responseEvent{ false };
    UpdImage m_updImage[UPD_KIND_NUM];
    int64_t m_totalDataSize = 0;
    std::atomic<int32_t> m_state{ STATE_INIT };
    int32_t m_fileReady = FILE_NOT_READY;
    uint32_t m_fileVer = 0;
    uint32_t m_deviceVer = 0;
    juce::String m_fileSysVer;
    juce::String m_deviceSysVer;
    int32_t m_blockSum = 0;
    HidCtrl* m_pHidCtrl = nullptr;
    /** The request to send; written by the exchange's caller only. */
    uint8_t m_sendData[reportSize] = {};
    /** The last answer the link passed on, written on the message thread under m_responseLock. */
    uint8_t m_response[reportSize] = {};
    /** The caller's copy of m_response, taken when its exchange woke: a late or duplicated answer
        can then overwrite m_response without racing the reads of the caller. */
    uint8_t m_answer[reportSize] = {};
    std::atomic<int32_t> m_updKind{ UPD_KIND_MAIN };
    std::atomic<bool> m_mainImageStarted{ false };
    bool m_startPressed = false;
    std::atomic<int32_t> m_finished{ NOT_FINISHED };
    /** Pause 6 ms after every exchange: only on Mac OS X 10.6 and older, never here. */
    bool m_oldOS = false;

protected:
    /** Asks the window to redraw itself from the state soon, on the message thread. Called with
        m_drawLock held, on the worker thread and on the message thread. */
    virtual void requestRedraw() = 0;

private:
    static constexpr int oldSystemPauseMs = 6;
    static constexpr int removalPauseMs = 100;
    static constexpr int workerStopTimeoutMs = 5000;

    const juce::File m_updateFolder;
    const int m_responseTimeoutMs;

    /** The update file as it passed its check: the worker sends a block only when the file still
        holds these bytes there. Written on the message thread before the worker starts. */
    juce::MemoryBlock m_checkedFileContents;
    /** Guards m_response against the copy a woken exchange takes of it. */
    juce::CriticalSection m_responseLock;

    /** Ends the wait for the abort's answer when the exchange's time runs out. */
    class CancelTimeout : public juce::Timer
    {
    public:
        explicit CancelTimeout (UpdateEngine& owner)
            : m_owner (owner)
        {
        }
        void timerCallback() override { m_owner.endCancelWait(); }

    private:
        UpdateEngine& m_owner;
    };
    CancelTimeout m_cancelTimeout{ *this };

    /** Set from the abort report's sending until its answer, the controller's removal or the
        time-out ends the wait. Message thread only. */
    bool m_awaitingCancelAnswer = false;
    std::function<void()> m_onCancelWaitEnd;

    /** Ends the wait for the abort's answer, if one runs, and tells whoever offered it. */
    void endCancelWait();

    /** requestRedraw() under m_drawLock. */
    void askForRedraw();

    void prepareRequest (uint8_t target, uint8_t command);
    /** A request with the layout of CMD_START and CMD_BLOCK: address, marker, length. */
    void prepareAddressRequest (uint8_t target, uint8_t command, uint32_t address, uint32_t length);
    /** SendDataAndWaitResponse, with ERR_TIMEOUT written when no answer came; false then. */
    bool exchangeOrTimeOut();

    //==============================================================================
    // The worker's steps.

    /** The worker's counters. They live as long as the engine, which in the program is the
        whole run: the worker runs at most once, and nothing sets them back. Worker thread only. */
    struct WorkerCounters
    {
        int32_t readOffset = 0;
        int64_t alreadySentDataSize = 0;
        int32_t updKind = UPD_KIND_MAIN;
    };
    WorkerCounters m_workerCounters;

    void endWithError();
    void endWithCompletion();
    /** Moves m_state from the step the worker is in to its next one; false when something
        else (an error, a removal) was written meanwhile. */
    bool advanceState (int32_t from, int32_t to);
    /** Ends the worker when the state holds an error. */
    void checkAfterStep();
    /** exchangeOrTimeOut within a step: on no answer the worker also ends. */
    bool exchangeOrEnd();
    /** One exchange whose only good answer is the given code; on anything else the error is
        written and the worker ended, and the result is false. */
    bool exchangeExpecting (uint8_t expectedAnswer);
    /** One exchange of a block's data; false when the block must stop (no answer, or a stop). */
    bool exchangeDataReport();

    // The steps of run(), by the state at the start of the pass; each ends the worker itself
    // (endWithError, endWithCompletion) when the update is over.
    void runInit();
    void runStart();
    void runBlock();
    void runData();
    void runChecksum (int& pause);
    void runGetStatus (int& pause);

    /** Reads block.getSize() bytes at fileOffset from the image's file into block. False when
        the file cannot be read there or no longer holds the bytes that passed the check. */
    bool readCheckedBlock (const UpdImage& image, int64_t fileOffset, juce::MemoryBlock& block);

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (UpdateEngine)
};

#pragma once

#include "hid/HidHandler.h"
#include "update/EngineSettings.h"
#include "update/OutstandingRequest.h"
#include "update/Protocol.h"
#include "update/StepResult.h"
#include "update/UpdateState.h"

#include <juce_events/juce_events.h>

#include <atomic>
#include <functional>

class HidCtrl;

/** The update: finds and checks the update file, owns the controller link and hears of its events,
    asks the controller for its mode and versions, and runs the worker thread "UpdatingThread"
    (run()) that writes the images into the controller. Its members describe the running update;
    the message thread and the worker share them, and the window draws from them.

    It asks its owner for nothing but redraws, through the function it is made with, always with
    m_drawLock held. It stops its own worker when it goes.

    Construct, use and destroy it on the message thread; the constructor opens the controller
    link. */
class UpdateEngine : public juce::Thread, public HidHandler
{
public:
    /** requestRedraw asks the window to redraw itself from the state soon, on the message
        thread; it is called on the worker thread and on the message thread, and must stay
        callable until this object has gone. */
    UpdateEngine (EngineSettings settings, std::function<void()> requestRedraw);
    ~UpdateEngine() override;

    //==============================================================================
    // The worker.

    /** The update's state machine. Worker thread only. */
    void run() override;

    /** Starts the worker with no answer pending. At most once per engine; message thread. */
    void startWorker();

    /** Tells the worker to stop, wakes it and waits up to 5 s for it to end. A worker woken in an
        exchange sends nothing more and writes nothing more into m_state; nor does anyone else.
        Message thread. */
    void stopWorker();

    //==============================================================================
    // Events of the controller link, on the message thread.

    /** Sets ERR_REMOVED while an update is under way, ends the worker's exchange, stops the
        worker and redraws. Ends the wait for the abort's answer, which cannot come any more. */
    void removalCallBack() override;
    /** Nothing: a controller plugged in later only shows in the link's m_connected. */
    void matchingCallBack() override;
    /** The answer just taken ends the request that is out, if it can be that request's. */
    void inputCallBack (int) override;
    /** Takes the controller's answer into m_response. */
    void inputReportCallBack (const uint8_t* report, size_t length) override;

    //==============================================================================
    // The exchange with the controller.

    /** Sends m_sendData and waits for its end, at most responseTimeoutMs: EXCHANGE_ANSWERED with
        the answer in m_answer (answerPassesExchangeTest() tells whether it echoes the request);
        EXCHANGE_TIMED_OUT; EXCHANGE_CONTROLLER_GONE when the controller has gone, the report not
        written or no answer to come; EXCHANGE_NOT_SENT when the report did not go out and the
        controller was not removed within removalGraceMs; EXCHANGE_GIVEN_UP, without sending
        more, once the worker has been told to stop. A report that did not go out gets a line on
        standard error. Worker thread. */
    ExchangeOutcome_t SendDataAndWaitResponse();

    /** Whether m_answer echoes the target of m_sendData and is not ANS_ERROR with reason 5. */
    bool answerPassesExchangeTest() const;

    /** Cancel or Close after the language screen: stops the worker and offers the controller the
        abort report, unless the worker had already told itself to stop or the controller was
        removed. Calls onWaitEnd once: at once when nothing went out, otherwise on the message
        loop when the abort's own answer, the controller's removal or the exchange's time-out
        ends the wait. Message thread. */
    void offerAbortReport (std::function<void()> onWaitEnd);

    /** Asks whether the controller may be updated and, when the file was accepted, reads its
        versions and marks the images to send. False with what ends the update in failure.
        Worker thread. */
    bool CheckDeviceMode (StepResult& failure);
    /** Reads the controller's versions and marks the images. False with what ends the update
        in failure. */
    bool CheckDeviceVersion (StepResult& failure);

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

    /** Whether the system reported by juce::SystemStats::getOperatingSystemType() is Mac OS X
        10.6 or older. */
    static bool isMacOSX106OrOlder (int operatingSystemType);

    //==============================================================================
    // Update and exchange members, shared by the message thread and the worker.

    /** Written by the worker. */
    std::atomic<double> m_progress{ 0.0 };
    /** Held around each redraw request and around each redraw the window runs on one. */
    juce::CriticalSection m_drawLock;
    /** Signalled when the worker's request has ended; the worker waits on it. */
    juce::WaitableEvent m_responseEvent{ false };
    UpdImage m_updImage[UPD_KIND_NUM];
    int64_t m_totalDataSize = 0;
    /** Written only through its rules: by the worker's loop, the removal and the buttons. */
    UpdateStateValue m_state;
    int32_t m_fileReady = FILE_NOT_READY;
    uint32_t m_fileVer = 0;
    uint32_t m_deviceVer = 0;
    juce::String m_fileSysVer;
    juce::String m_deviceSysVer;
    int32_t m_blockSum = 0;
    HidCtrl* m_pHidCtrl = nullptr;
    /** The request to send; written by the exchange's caller only. */
    uint8_t m_sendData[reportSize] = {};
    /** The last answer the link passed on; message thread only. */
    uint8_t m_response[reportSize] = {};
    /** The worker's copy of the answer that ended its request; worker thread only. */
    uint8_t m_answer[reportSize] = {};
    std::atomic<int32_t> m_updKind{ UPD_KIND_MAIN };
    std::atomic<bool> m_mainImageStarted{ false };
    bool m_startPressed = false;
    std::atomic<int32_t> m_finished{ NOT_FINISHED };
    /** Pause 6 ms after every exchange: only on Mac OS X 10.6 and older, never here. */
    bool m_oldOS = false;

private:
    static constexpr int oldSystemPauseMs = 6;
    static constexpr int removalPauseMs = 100;
    /** How long a request whose report could not be written waits for the controller's removal:
        a controller being pulled out fails the write some milliseconds before its node hangs up
        or udev reports it, up to a quarter of a second behind a USB 2.0 hub. */
    static constexpr int removalGraceMs = 1000;
    static constexpr int workerStopTimeoutMs = 5000;

    const juce::File m_updateFolder;
    const std::function<void()> m_requestRedraw;

    /** The update file as it passed its check: the worker sends a block only when the file still
        holds these bytes there. Written on the message thread before the worker starts. */
    juce::MemoryBlock m_checkedFileContents;
    /** The one request out to the controller. */
    OutstandingRequest m_request;

    /** m_requestRedraw under m_drawLock. */
    void askForRedraw();

    void prepareRequest (uint8_t target, uint8_t command);
    /** Says on standard error that the request in m_sendData did not go out. */
    void sayNotSent() const;
    /** A request with the layout of CMD_START and CMD_BLOCK: address, marker, length. */
    void prepareAddressRequest (uint8_t target, uint8_t command, uint32_t address, uint32_t length);

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

    /** The step of the state the pass began in. */
    StepResult runStep (int32_t state, int& pause);
    /** Writes what the step came to, from the state the pass began in, and ends the worker when
        the update is over. With endWithCompletion, the only place where the worker writes
        m_state. */
    void applyStep (int32_t state, const StepResult& result);
    void endWithError();
    /** Sends the completion report and, once it went out, completes the update. */
    void endWithCompletion();

    /** What a step comes to when its exchange ended without an answer. */
    static StepResult resultOfUnanswered (ExchangeOutcome_t outcome);
    /** One exchange whose only good answer is the given code, moving to `next` on it. */
    StepResult exchangeExpecting (uint8_t expectedAnswer, int32_t next);

    // The steps of run(), by the state at the start of the pass.
    StepResult runInit();
    StepResult runStart();
    StepResult runBlock();
    StepResult runData();
    StepResult runChecksum (int& pause);
    StepResult runGetStatus (int& pause);

    /** Reads block.getSize() bytes at fileOffset from the image's file into block. False when
        the file cannot be read there or no longer holds the bytes that passed the check. */
    bool readCheckedBlock (const UpdImage& image, int64_t fileOffset, juce::MemoryBlock& block);

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (UpdateEngine)
};

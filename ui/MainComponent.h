#pragma once

#include "hid/HidHandler.h"
#include "ui/CustomLookAndFeel.h"
#include "update/Protocol.h"
#include "update/UpdateState.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <functional>

class AlineButton;
class HidCtrl;

/** The window's content and the holder of the update: its members describe the running update
    and are shared by the message thread and the worker thread "UpdatingThread", whose body is
    run(). It owns the controller link and hears of its events through HidHandler.

    It is also the screen: the texts, the language list, the progress bar and the two buttons
    follow m_state, and the buttons drive the update.

    Construct, use and destroy it on the message thread. */
class MainComponent : public juce::Component,
                      public juce::AsyncUpdater,
                      public juce::Thread,
                      public HidHandler,
                      public juce::ComboBox::Listener,
                      public juce::Button::Listener
{
public:
    MainComponent();
    ~MainComponent() override;

    /** Background, the warning icon of the error screens, the screen text; then puts the
        keyboard focus where the screen wants it. */
    void paint (juce::Graphics& g) override;
    /** Rebuilds the screen and places the widgets. */
    void resized() override;

    /** Puts the keyboard focus where the screen wants it, so that Return clicks that button: OK
        on the completion screen, Cancel (Close) on the error screens, OK on the language and
        version screens unless OK, Cancel or the list already has it. Called by paint and whenever
        the window gains the focus; does nothing while another program has the keyboard. Message
        thread. */
    void applyScreenFocus();

    /** The worker: the update's state machine. Worker thread only. */
    void run() override;

    /** The language list: makes the chosen language current, then rebuilds the screen. */
    void comboBoxChanged (juce::ComboBox* box) override;
    /** OK, Start, Cancel and Close; any other button is ignored. Message thread. */
    void buttonClicked (juce::Button* button) override;

    /** Rebuilds the screen after a request of the worker or of a removal. Message thread. */
    void handleAsyncUpdate() override;

    /** Rebuilds everything that differs between screens from m_state and the texts of the
        current language: title, text, widgets, captions. Message thread. */
    void UpdateDrawing();

    //==============================================================================
    // Events of the controller link, on the message thread.

    /** Sets ERR_REMOVED while an update is under way, wakes and stops the worker, redraws. */
    void removalCallBack() override;
    /** Nothing: a controller plugged in later only shows in the link's m_connected. */
    void matchingCallBack() override;
    /** Takes the controller's answer and wakes the worker that waits for it. */
    void inputCallBack (int) override;

    //==============================================================================
    // The exchange with the controller.

    /** Sends m_sendData and waits for the answer. Returns false when no answer came in time,
        and at once, with a line on standard error, when the request could not be sent; true
        when one came (it is then in m_answer; an answer that does not echo the request's
        target, or ANS_ERROR with reason 5, has made the state ERR_GENERAL), and true at once,
        without sending, once the worker has been told to exit or the controller was removed.
        Any thread, one exchange at a time. */
    bool SendDataAndWaitResponse();

    /** Asks whether the controller may be updated and, when the file was accepted, reads its
        versions and marks the images to send. False with the error in m_state. Worker thread. */
    bool CheckDeviceMode();
    /** Reads the controller's versions and marks the images. False with the error in m_state. */
    bool CheckDeviceVersion();

    //==============================================================================
    // The update file.

    /** Finds the update file beside the executable, checks it and fills m_updImage, or writes
        the file's error into m_state. Message thread, before the worker runs. */
    void CheckUpdFile();

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

    //==============================================================================
    // The screen: message thread only.

    juce::GlyphArrangement m_textLayout;
    LangLookAndFeel m_langLookAndFeel;
    juce::ComboBox* m_pLangBox = nullptr;
    ProgressLookAndFeel* m_pProgressLookAndFeel = nullptr;

    /** Written by the worker. */
    std::atomic<double> m_progress{ 0.0 };
    /** What the progress bar shows: a copy of m_progress that only the message thread touches,
        since the bar reads it from its own timer. */
    double m_shownProgress = 0.0;

    juce::ProgressBar* m_pProgressBar = nullptr;
    AlineButton* m_pOkButton = nullptr;
    AlineButton* m_pCancelButton = nullptr;

    //==============================================================================
    // Update and exchange members, shared by the message thread and the worker.

    juce::CriticalSection m_drawLock;
    juce::WaitableEvent m_responseEvent{ false };
    UpdImage m_updImage[UPD_KIND_NUM];
    int64_t m_totalDataSize = 0;
    std::atomic<int32_t> m_state{ STATE_INIT };
    int32_t m_fileReady = 0;
    uint32_t m_fileVer = 0;
    uint32_t m_deviceVer = 0;
    juce::String m_fileSysVer;
    juce::String m_deviceSysVer;
    int32_t m_blockSum = 0;
    /** The update file as it passed its check: the worker sends a block only when the file still
        holds these bytes there. Written on the message thread before the worker starts. */
    juce::MemoryBlock m_checkedFileContents;
    HidCtrl* m_pHidCtrl = nullptr;
    /** The request to send; written by the exchange's caller only. */
    uint8_t m_sendData[reportSize] = {};
    /** The last answer the link passed on, written on the message thread under m_responseLock. */
    uint8_t m_response[reportSize] = {};
    juce::CriticalSection m_responseLock;
    /** The caller's copy of m_response, taken when its exchange woke: a late or duplicated answer
        can then overwrite m_response without racing the reads of the caller. */
    uint8_t m_answer[reportSize] = {};
    std::atomic<int32_t> m_updKind{ UPD_KIND_MAIN };
    std::atomic<bool> m_mainImageStarted{ false };
    bool m_startPressed = false;
    std::atomic<int32_t> m_finished{ 0 };
    /** Pause 6 ms after every exchange: only on Mac OS X 10.6 and older, never here. */
    bool m_oldOS = false;

    /** Whether the system reported by juce::SystemStats::getOperatingSystemType() is Mac OS X
        10.6 or older. */
    static bool isMacOSX106OrOlder (int operatingSystemType);

    //==============================================================================
    // Test seams; the program leaves them alone.

    /** Look for the update file in this folder instead of the executable's. */
    juce::File m_updateFolderForTests;

    /** Called once the update file is chosen, just before it is checked. */
    std::function<void (const juce::File&)> m_onUpdateFileChosenForTests;

    /** How long one exchange waits for its answer. */
    int m_responseTimeoutMs = 10000;

private:
    /** Copies m_progress into m_shownProgress every 30 ms, often enough for a smooth bar: the
        worker asks for no redraw inside a block, which can take seconds. */
    class ProgressFollower : public juce::Timer
    {
    public:
        explicit ProgressFollower (MainComponent& owner)
            : m_owner (owner)
        {
        }
        void timerCallback() override { m_owner.m_shownProgress = m_owner.m_progress.load(); }

    private:
        MainComponent& m_owner;
    };
    ProgressFollower m_progressFollower{ *this };

    /** Ends the wait for the abort's answer when the exchange's time runs out. */
    class CancelTimeout : public juce::Timer
    {
    public:
        explicit CancelTimeout (MainComponent& owner)
            : m_owner (owner)
        {
        }
        void timerCallback() override { m_owner.endCancelWait(); }

    private:
        MainComponent& m_owner;
    };
    CancelTimeout m_cancelTimeout{ *this };

    /** Set once Cancel or a quit has begun: later clicks do nothing. */
    bool m_quitting = false;
    /** Set from the abort report's sending until its answer, the controller's removal or the
        time-out ends the quit. Message thread only. */
    bool m_awaitingCancelAnswer = false;

    void okClicked();
    void cancelClicked();
    /** Hands the abort report to the link and starts the wait for its answer, without waiting
        here. Returns false when nothing went out (no controller): there is nothing to await.
        Only with the worker stopped: it uses the report buffer alone. */
    bool sendCancel();
    /** Ends the wait for the abort's answer, if one runs, and quits. */
    void endCancelWait();
    /** Stops the worker: tells it to exit, wakes it, waits up to 5 s for it to end. */
    void stopWorker();
    void quit();
    void addText (const juce::String& text, bool bold, float x, float y, float width, float height);

    juce::File getUpdateFolder() const;

    void requestRedraw();
    void endWithError();
    void endWithCompletion();
    /** Moves m_state from the step the worker is in to its next one; false when something
        else (an error, a removal) was written meanwhile. */
    bool advanceState (int32_t from, int32_t to);
    void prepareRequest (uint8_t target, uint8_t command);

    /** The worker's counters. They live as long as the component, which in the program is the
        whole run: the worker runs at most once, and nothing sets them back. Worker thread only. */
    struct WorkerCounters
    {
        int32_t readOffset = 0;
        int64_t alreadySentDataSize = 0;
        int32_t updKind = UPD_KIND_MAIN;
    };
    WorkerCounters m_workerCounters;

    // The steps of run(), by the state at the start of the pass; each ends the worker itself
    // (endWithError, endWithCompletion) when the update is over.
    void runInit();
    void runStart (WorkerCounters&);
    void runBlock (WorkerCounters&);
    void runData (WorkerCounters&);
    void runChecksum (WorkerCounters&, int& pause);
    void runGetStatus (WorkerCounters&, int& pause);

    /** Reads block.getSize() bytes at fileOffset from the image's file into block. False when
        the file cannot be read there or no longer holds the bytes that passed the check. */
    bool readCheckedBlock (const UpdImage& image, int64_t fileOffset, juce::MemoryBlock& block);

    /** Ends the worker when the state holds an error. */
    void checkAfterStep();
    /** One exchange whose only good answer is the given code; on anything else the error is
        written and the worker ended, and the result is false. */
    bool exchangeExpecting (uint8_t expectedAnswer);
    /** One exchange of a block's data; false when the block must stop (no answer, or a stop). */
    bool exchangeDataReport();

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainComponent)
};

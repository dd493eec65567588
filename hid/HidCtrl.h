#pragma once

#include "hid/HidHandler.h"
#include "platform/io/HidBackend.h"

#include <atomic>
#include <cstdint>

class HidUtil;

/** The controller link as the rest of the program sees it: owns the one HidUtil, tells its owner
    of arrivals, removals and answers, and sends output reports.

    initialize, finalize, the destructor and the callbacks run on the message thread; sendData
    may be called from any thread. */
class HidCtrl : public HidHandler
{
public:
    /** Nothing is opened yet; initialize looks for the controller among the HID devices that the
        backend finds. */
    explicit HidCtrl (platform::HidBackendFactory hidBackend);
    ~HidCtrl() override;

    /** Creates the HID utility object and looks for the controller. Returns 1 when a controller is
        attached at the end of the call, else 0 (also when another link is already live). */
    int initialize (HidHandler* pHandler, int deviceType);

    /** Sends one output report to the attached controller. False when the report did not go out,
        with errno ENODEV when no controller is attached or it has gone, another errno when the
        send failed otherwise. Any thread. */
    bool sendData (unsigned char* pData, unsigned long length);

    /** Lets the controller go and deletes the HID utility object; the owner hears nothing more. */
    void finalize();

    void removalCallBack() override;
    void matchingCallBack() override;
    /** Announces the answer just kept to the owner. */
    void inputCallBack (int) override;
    /** Keeps the answer in m_recvBuffer and m_recvLength and hands it on to the owner. */
    void inputReportCallBack (const uint8_t* report, size_t length) override;

    HidHandler* m_pHandler = nullptr;
    HidUtil* m_pHidUtil = nullptr;
    /** 1 while a controller is attached. Atomic: the worker reads it while the message thread
        follows arrivals and removals. */
    std::atomic<int32_t> m_connected{ 0 };
    int32_t m_version = 0;
    /** The last answer passed on to the owner, and how many of its bytes are valid; message
        thread only. */
    uint8_t m_recvBuffer[reportSize] = {};
    uint64_t m_recvLength = 0;

private:
    const platform::HidBackendFactory m_hidBackend;
};

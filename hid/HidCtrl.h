#pragma once

#include "hid/HidHandler.h"

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
    HidCtrl();
    ~HidCtrl() override;

    /** Creates the HID utility object and looks for the controller. Returns 1 when a controller is
        attached at the end of the call, else 0 (also when another link is already live). */
    int initialize (HidHandler* pHandler, int deviceType);

    /** Sends one output report to the attached controller. False when none is attached or the
        report did not go out. Any thread. */
    bool sendData (unsigned char* pData, unsigned long length);

    /** Lets the controller go and deletes the HID utility object; the owner hears nothing more. */
    void finalize();

    void removalCallBack() override;
    void matchingCallBack() override;
    void inputCallBack (int) override;

    HidHandler* m_pHandler = nullptr;
    HidUtil* m_pHidUtil = nullptr;
    /** 1 while a controller is attached. Atomic: the worker reads it while the message thread
        follows arrivals and removals. */
    std::atomic<int32_t> m_connected{ 0 };
    int32_t m_version = 0;
    /** The last answer passed on to the owner; message thread only. */
    uint8_t m_recvBuffer[64] = {};
    uint64_t m_recvLength = 0;
};

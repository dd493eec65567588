#pragma once

#include <cstddef>
#include <cstdint>

/** The length of every report the controller exchanges, input and output: the link's buffers hold
    one, and each request and answer of the update protocol is one. */
constexpr int reportSize = 64;

/** The events of the controller link. HidUtil tells HidCtrl, and HidCtrl tells its owner. Every
    callback runs on the message thread. */
class HidHandler
{
public:
    virtual ~HidHandler() = default;

    /** The held controller has gone; the link already reports no controller. */
    virtual void removalCallBack() = 0;
    /** A controller arrived after the link was initialised, and is now held. */
    virtual void matchingCallBack() = 0;
    /** The input report just handed over by inputReportCallBack is waiting. The argument is
        always 0. */
    virtual void inputCallBack (int) = 0;
    /** An input report whose byte 0 is at least 0xF0 arrived: its bytes, 1 to reportSize of them,
        valid during the call. inputCallBack announces the same report right after. */
    virtual void inputReportCallBack (const uint8_t* report, size_t length) = 0;
};

#pragma once

/** The three events of the controller link. HidUtil tells HidCtrl, and HidCtrl tells its owner.
    Every callback runs on the message thread. */
class HidHandler
{
public:
    virtual ~HidHandler() = default;

    /** The held controller has gone; the link already reports no controller. */
    virtual void removalCallBack() = 0;
    /** A controller arrived after the link was initialised, and is now held. */
    virtual void matchingCallBack() = 0;
    /** An input report whose byte 0 is at least 0xF0 is waiting. The argument is always 0. */
    virtual void inputCallBack (int) = 0;
};

#pragma once

namespace platform
{

/** Whether another program's window holds the display's keyboard focus: not one of this
    program's windows (nor a frame around one of them), and not nobody (no window, the pointer's
    or the root window). A window must not take the keyboard from another program by itself.
    False when the display cannot be asked. Message thread only. */
bool anotherProgramHasTheKeyboard();

}  // namespace platform

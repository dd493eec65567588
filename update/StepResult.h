#pragma once

#include <cstdint>

/** What one step of the worker came to. The steps only say it; the worker's loop writes it into
    the state value (UpdateEngine::applyStep). */
struct StepResult
{
    enum Kind_t
    {
        STEP_STAY,     // the state stays; the next pass runs the same step again
        STEP_MOVE,     // on to the state in `value`
        STEP_FAIL,     // the update ends in the error in `value`
        STEP_GONE,     // the controller has gone: its removal
        STEP_STOPPED,  // the worker was told to stop: nothing is written
        STEP_COMPLETE  // every image is sent: the completion report ends the update
    };

    Kind_t kind = STEP_STAY;
    int32_t value = 0;

    static StepResult stay() { return { STEP_STAY, 0 }; }
    static StepResult moveTo (int32_t state) { return { STEP_MOVE, state }; }
    static StepResult failWith (int32_t error) { return { STEP_FAIL, error }; }
    static StepResult gone() { return { STEP_GONE, 0 }; }
    static StepResult stopped() { return { STEP_STOPPED, 0 }; }
    static StepResult complete() { return { STEP_COMPLETE, 0 }; }
};

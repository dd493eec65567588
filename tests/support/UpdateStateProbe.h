#pragma once

#include "update/UpdateState.h"

/** Puts a state value directly, for tests that draw a screen or start from a state that the
    update would reach only through a whole run. Message thread, with no worker running. */
struct UpdateStateProbe
{
    static void put (UpdateStateValue& state, int32_t value) { state.m_value = value; }
};

#pragma once

#include <juce_events/juce_events.h>

#include <functional>

namespace qvxtest
{

/** Runs the message loop of the calling (message) thread until the condition holds or the
    time-out passes. Returns whether the condition held. The default time-out is long enough for
    a loaded machine: it is for things that are expected to happen. Message thread only. */
bool pumpUntil (const std::function<bool()>& condition, int timeoutMs = 20000);

/** Runs the message loop for the given time. Message thread only. */
void pumpFor (int milliseconds);

/** Runs the message loop as the program does, blocking until events come, until the condition
    holds after some event. No time-out: for benchmarks. Message thread only. */
void runMessageLoopUntil (const std::function<bool()>& condition);

}  // namespace qvxtest

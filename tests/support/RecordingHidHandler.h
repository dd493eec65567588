#pragma once

#include "hid/HidHandler.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace qvxtest
{

/** A HidHandler that counts its calls and, if told, looks at the link at the moment of each. */
struct RecordingHidHandler : HidHandler
{
    void removalCallBack() override
    {
        ++removals;
        if (onRemoval)
            onRemoval();
    }

    void matchingCallBack() override
    {
        ++matchings;
        if (onMatching)
            onMatching();
    }

    void inputReportCallBack (const uint8_t* report, size_t length) override
    {
        reports.emplace_back (report, report + length);
    }

    void inputCallBack (int argument) override
    {
        inputArguments.push_back (argument);
        if (onInput)
            onInput();
    }

    int removals = 0;
    int matchings = 0;
    /** The bytes of each report handed over, and the argument of each announcement. */
    std::vector<std::vector<uint8_t>> reports;
    std::vector<int> inputArguments;
    std::function<void()> onRemoval, onMatching, onInput;
};

}  // namespace qvxtest

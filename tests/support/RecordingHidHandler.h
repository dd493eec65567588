#pragma once

#include "hid/HidHandler.h"

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

    void inputCallBack (int argument) override
    {
        inputArguments.push_back (argument);
        if (onInput)
            onInput();
    }

    int removals = 0;
    int matchings = 0;
    std::vector<int> inputArguments;
    std::function<void()> onRemoval, onMatching, onInput;
};

}  // namespace qvxtest

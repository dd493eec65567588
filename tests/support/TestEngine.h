#pragma once

#include "update/UpdateEngine.h"

#include <atomic>

namespace qvxtest
{

/** The update engine without a window: its redraw requests are only counted. */
class TestEngine : public UpdateEngine
{
public:
    using UpdateEngine::UpdateEngine;

    ~TestEngine() override
    {
        // The worker asks this object for redraws: it goes before this object does.
        if (isThreadRunning())
            stopWorker();
    }

    std::atomic<int> redrawRequests{ 0 };

protected:
    void requestRedraw() override { ++redrawRequests; }
};

}  // namespace qvxtest

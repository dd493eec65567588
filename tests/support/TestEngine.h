#pragma once

#include "update/UpdateEngine.h"

namespace qvxtest
{

/** The update engine without a window: its redraw requests go nowhere. */
class TestEngine : public UpdateEngine
{
public:
    explicit TestEngine (EngineSettings settings)
        : UpdateEngine (std::move (settings), [] {})
    {
    }
};

}  // namespace qvxtest

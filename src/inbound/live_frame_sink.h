// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the data thread hands each live picture frame. The live view's renderer is the
// real one; tests record the calls.

#include <cstdint>

namespace dm {

class LiveFrameSink {
  public:
    virtual ~LiveFrameSink() = default;
    // Data thread. jpeg points at size bytes valid for the duration of the call.
    virtual void RenderLiveFrame(uint32_t info, const uint8_t* jpeg, uint32_t size) = 0;
};

}  // namespace dm

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A LiveFrameSink for tests: keeps a copy of every live frame handed over, and can run a
// hook inside the call (e.g. to look at the lists at the moment of rendering).
// Thread-safe: the data thread renders while the test inspects.

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "inbound/live_frame_sink.h"

namespace dm::test {

class RecordingLiveSink : public LiveFrameSink {
  public:
    struct Frame {
        uint32_t info = 0;
        std::vector<uint8_t> bytes;
    };

    void RenderLiveFrame(uint32_t info, const uint8_t* jpeg, uint32_t size) override {
        std::function<void()> hook;
        {
            std::lock_guard lock(mutex_);
            frames_.push_back({info, std::vector<uint8_t>(jpeg, jpeg + size)});
            hook = onRender_;
        }
        if (hook) {
            hook();
        }
    }

    void OnRender(std::function<void()> hook) {
        std::lock_guard lock(mutex_);
        onRender_ = std::move(hook);
    }

    std::vector<Frame> Frames() const {
        std::lock_guard lock(mutex_);
        return frames_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<Frame> frames_;
    std::function<void()> onRender_;
};

}  // namespace dm::test

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A FrameWriter for tests: keeps every write as one byte vector, in order.
// Thread-safe: workers write from their threads while the test inspects.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "link/frame_writer.h"

namespace dm::test {

class RecordingFrameWriter : public FrameWriter {
  public:
    int32_t WritePort(const uint8_t* bytes, int32_t n) override {
        std::lock_guard lock(mutex_);
        writes_.emplace_back(bytes, bytes + n);
        changed_.notify_all();
        return n;
    }

    std::vector<std::vector<uint8_t>> Writes() const {
        std::lock_guard lock(mutex_);
        return writes_;
    }

    bool WaitForWrites(std::size_t count, std::chrono::milliseconds timeout) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return writes_.size() >= count; });
    }

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<std::vector<uint8_t>> writes_;
};

}  // namespace dm::test

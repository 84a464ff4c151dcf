// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A FrameWriter that sends nothing anywhere and counts the writes. One thread.

#include <cstdint>

#include "link/frame_writer.h"

namespace dm::fuzz {

class CountingFrameWriter : public FrameWriter {
  public:
    int32_t WritePort(const uint8_t* /*bytes*/, int32_t n) override {
        ++writes_;
        return n;
    }

    int Writes() const { return writes_; }

  private:
    int writes_ = 0;
};

}  // namespace dm::fuzz

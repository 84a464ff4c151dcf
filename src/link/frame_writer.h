// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Anything that sends bytes to the microscope. The serial port is the real one;
// tests put a recorder in its place.

#include <cstdint>

namespace dm {

class FrameWriter {
  public:
    virtual ~FrameWriter() = default;
    // Writes n bytes in one platform call. Returns the count written, or -1 when no port
    // is held. Safe to call from any thread; each call is one write.
    virtual int32_t WritePort(const uint8_t* bytes, int32_t n) = 0;
};

}  // namespace dm

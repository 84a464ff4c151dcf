// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whether the bytes at some place in the received stream begin a frame the microscope
// sends: the lead byte, a known command and a length field that fits it, and for the
// frames that carry their own sizes (directory, picture) those sizes agree with the
// length and a picture's payload begins with a JPEG start-of-image marker. The data
// thread asks this at every place it might read a frame, so that bytes inside a picture
// are not taken for a probe, a memory-full report, a directory or a reply.
//
// Pure functions of the bytes given; any thread.

#include <cstdint>

#include "link/frame.h"

namespace dm {

enum class StartVerdict {
    kNotAStart,  // the bytes begin no frame
    kStart,      // every check that the bytes allow has passed
    kNeedMore,   // too few bytes to tell
};

// How much a frame start proves on its own. A picture or directory start passes checks
// that JPEG data matches by chance about once in 2^35 places or less; a bare frame or an
// acknowledgement is only a header that may pose as one about once in 2^32.
enum class StartStrength { kStrong, kWeak, kDiscard };

// The bytes a full check of a start at this place looks at: the header, a picture's
// info word, size and start-of-image marker.
inline constexpr uint32_t kStartCheckBytes = frame::kHeaderSize + frame::kPictureHeaderSize + 2;

// Checks the first `available` bytes of a place in the stream.
StartVerdict CheckFrameStart(const uint8_t* bytes, uint32_t available);

StartStrength StrengthOf(uint8_t command);

// A command byte the microscope sends.
bool IsKnownCommand(uint8_t command);

// The whole size of a weak frame (header and its fixed payload).
uint32_t WeakFrameSize(uint8_t command);

}  // namespace dm

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One fuzz input run through the receive buffer and the data thread's frame dispatch, on
// the calling thread (the data thread is built but never started). Shared by the fuzz
// target and the test that replays its seed corpus.
//
// Input layout: byte 0 steers the pictures (the kRoute bits and the claim mode), byte 1
// is the chunk size in which the rest is appended to the receive buffer (0: all at once),
// and the rest are the bytes as they came from the microscope. A chunk is appended before
// each dispatch. The data thread runs with zero InboundTiming, so a frame cut by a chunk
// boundary is given up at once instead of waiting; once the last chunk is in, a stop is
// requested, so a wait for bytes that never came ends at once as well.

#include <cstddef>
#include <cstdint>

namespace dm::fuzz {

inline constexpr std::size_t kControlSize = 2;

// Bits of byte 0.
inline constexpr uint8_t kRouteLiveView = 0x01;
inline constexpr uint8_t kRouteCollect = 0x02;
inline constexpr uint8_t kRouteSnapshot = 0x04;
inline constexpr uint8_t kClaimShift = 3;  // two bits, a ClaimMode
inline constexpr uint8_t kClaimBits = 0x03;
inline constexpr uint8_t kRouteOverlays = 0x20;  // both overlay check boxes ticked
inline constexpr uint8_t kRouteCameraOn = 0x40;
// No directory request is outstanding: a directory frame must change nothing.
inline constexpr uint8_t kRouteDirectoryUnasked = 0x80;

// DeviceState::pictureClaim at the start: any picture, the one numbered kClaimedPicture
// (a download waiting for it), or a claim already taken or closed.
enum class ClaimMode : uint8_t { Any = 0, Picture = 1, Taken = 2, Closed = 3 };
inline constexpr uint32_t kClaimedPicture = 1;

constexpr uint8_t ClaimBits(ClaimMode mode) {
    return static_cast<uint8_t>(static_cast<uint8_t>(mode) << kClaimShift);
}

// What the input left behind, for the corpus test; the fuzz target ignores it.
struct InboundOutcome {
    int framesDispatched = 0;  // DispatchFrame calls that consumed bytes
    int liveFrames = 0;        // frames the live view rendered (at most the ring's 29)
    int pictures = 0;          // records in the picture list
    int snapshots = 0;         // records in the snapshot list
    int directoryCount = 0;
    int portWrites = 0;  // probe answers
    int errorsShown = 0;
    bool probeReply = false;
    bool memoryFull = false;
};

// Never waits for real time; the number of dispatches is bounded by the input's size.
InboundOutcome RunInboundInput(const uint8_t* data, std::size_t size);

}  // namespace dm::fuzz

// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzz/inbound_input.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>

#include "fuzz/counting_frame_writer.h"
#include "fuzz/quiet_window.h"
#include "inbound/data_proc_thread.h"
#include "inbound/device_state.h"
#include "inbound/image_buffer.h"
#include "inbound/inbound_timing.h"
#include "link/receive_buffer.h"
#include "view/live_view.h"
#include "view/live_view_surface.h"

namespace dm::fuzz {

namespace {

// Larger inputs go in piece by piece: a chunk must fit while a frame header is held.
constexpr std::size_t kLargestChunk = ReceiveBuffer::kMaxHeld / 2;
// The dispatch ends after this many calls in a row that found no frame header, with
// nothing left to append.
constexpr int kIdleDispatchesToEnd = 2;
// Every call appends or consumes at least one byte, or is idle; a safety bound only.
constexpr std::size_t kCallsPerByte = 3;
constexpr std::size_t kSpareCalls = 16;

constexpr InboundTiming kNoWaiting{std::chrono::milliseconds{0}, std::chrono::milliseconds{0}};

uint32_t InitialClaim(uint8_t route) {
    switch (static_cast<ClaimMode>((route >> kClaimShift) & kClaimBits)) {
        case ClaimMode::Picture:
            return kClaimedPicture;
        case ClaimMode::Taken:
            return kClaimTaken;
        case ClaimMode::Closed:
            return kClaimClosed;
        case ClaimMode::Any:
            break;
    }
    return kAnyPicture;
}

// The live view with what it reads, kept for the whole run: its 31-frame ring is costly
// to build. The ring is emptied after each input (as the window's timer would), so an
// input finds it empty whatever came before; the slots are always painted whole.
struct LiveStage {
    DeviceState state;  // only the camera-on flag is read
    QuietWindow window;
    LiveViewSurface surface;
    LiveView live{state, window, surface};

    void Prepare(uint8_t route) {
        state.cameraOn = (route & kRouteCameraOn) != 0;
        window.SetOverlaysChecked((route & kRouteOverlays) != 0);
    }

    // Window thread's part, run here: takes every ready frame; returns their number.
    int TakeFrames() {
        int frames = 0;
        while (live.ShowNextLiveFrame()) {
            ++frames;
        }
        return frames;
    }
};

LiveStage& SharedLiveStage() {
    static LiveStage stage;
    return stage;
}

// Everything else one input runs against, built fresh so that no input depends on
// another.
struct Session {
    Session(uint8_t route, LiveFrameSink& live) : live(live) {
        state.liveView = (route & kRouteLiveView) != 0;
        state.collect = (route & kRouteCollect) != 0;
        state.snapshotCapture = (route & kRouteSnapshot) != 0;
        state.cameraOn = (route & kRouteCameraOn) != 0;
        state.pictureClaim = InitialClaim(route);
        state.directoryExpected = (route & kRouteDirectoryUnasked) == 0;
    }

    ReceiveBuffer buffer;
    CountingFrameWriter writer;
    DeviceState state;
    IMAGE_BUFFER pictures;
    IMAGE_BUFFER snapshots;
    QuietWindow window;
    LiveFrameSink& live;
    TDataProcThread thread{buffer, writer, state, pictures, snapshots, live, window, kNoWaiting};
};

// As the window's poll appends: under the buffer lock, all or nothing. Returns the count
// appended (0 when the buffer has no room yet).
std::size_t Append(ReceiveBuffer& buffer, const uint8_t* bytes, std::size_t n) {
    std::lock_guard guard(buffer.Lock());
    return buffer.Append(bytes, static_cast<uint32_t>(n));
}

InboundOutcome Summarise(const Session& session, int framesDispatched, int liveFrames) {
    InboundOutcome outcome;
    outcome.framesDispatched = framesDispatched;
    outcome.liveFrames = liveFrames;
    outcome.pictures = session.pictures.Count();
    outcome.snapshots = session.snapshots.Count();
    outcome.directoryCount = session.state.directory.Count();
    outcome.portWrites = session.writer.Writes();
    outcome.errorsShown = session.window.ErrorsShown();
    outcome.probeReply = session.state.probeReply.load();
    outcome.memoryFull = session.state.memoryFull.load();
    return outcome;
}

// Appends the stream chunk by chunk, one chunk before each dispatch, and dispatches until
// everything is appended and no frame header is left. Returns the frames dispatched.
int FeedAndDispatch(Session& session, const uint8_t* stream, std::size_t size, std::size_t chunk) {
    std::size_t appended = 0;
    int framesDispatched = 0;
    int idleInRow = 0;
    const std::size_t maxCalls = kCallsPerByte * size + kSpareCalls;
    for (std::size_t calls = 0; calls < maxCalls; ++calls) {
        if (appended < size) {
            appended += Append(session.buffer, stream + appended, std::min(chunk, size - appended));
            if (appended == size) {
                // Nothing more will come: a wait for the rest of a cut-off frame ends at once.
                session.thread.RequestStop();
            }
        }
        if (session.thread.DispatchFrame()) {
            ++framesDispatched;
            idleInRow = 0;
        } else if (appended == size && ++idleInRow >= kIdleDispatchesToEnd) {
            break;
        }
    }
    return framesDispatched;
}

}  // namespace

InboundOutcome RunInboundInput(const uint8_t* data, std::size_t size) {
    if (data == nullptr || size < kControlSize) {
        return {};
    }
    const uint8_t route = data[0];
    const std::size_t chunk = data[1] == 0 ? kLargestChunk : data[1];
    LiveStage& stage = SharedLiveStage();
    stage.Prepare(route);
    const auto session = std::make_unique<Session>(route, stage.live);
    const int framesDispatched =
        FeedAndDispatch(*session, data + kControlSize, size - kControlSize, chunk);
    return Summarise(*session, framesDispatched, stage.TakeFrames());
}

}  // namespace dm::fuzz

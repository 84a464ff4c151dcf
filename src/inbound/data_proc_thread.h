// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TDataProcThread: turns the bytes in the receive buffer into events. It finds frames at
// the front of the buffer, waits for payloads, answers the microscope's probe, stores the
// picture directory, raises the probe-reply and memory-full flags and passes picture
// frames to picture reception. It never starts a conversation.
//
// Threads: run() is the data thread. DispatchFrame and WaitForBytes belong to that thread
// (tests call them directly on a thread that has not been started). The receive buffer
// lock is held only around single buffer operations, never across a wait, a sleep, a
// render or a message box. RequestStop is for any thread; destruction requests a stop and
// joins. A memory-full box holds this thread until the window closes it. With nothing to
// do the thread sleeps on the receive buffer until a byte arrives.
//
// Finding frames on a line that loses or mangles a byte now and then: a frame is read
// only where a plausible frame start is (frame_start.h), and a frame is left at its lead
// byte when it proves broken, so the bytes behind it are looked through for the next
// start at once, whatever the gaps on the line. Where the front may be inside a frame
// (after a broken frame, or a long run of bytes that begin nothing), a frame that is only
// a header or an acknowledgement is believed only when a plausible frame follows it or
// the line stays quiet behind it: picture bytes such as F8 A1 00 00 never pose as frames.

#include <QThread>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>

#include "inbound/device_state.h"
#include "inbound/frame_start.h"
#include "inbound/image_buffer.h"
#include "inbound/inbound_timing.h"
#include "inbound/live_frame_sink.h"
#include "inbound/picture_reception.h"
#include "inbound/window_port.h"
#include "link/frame.h"
#include "link/frame_writer.h"
#include "link/receive_buffer.h"

namespace dm {

class TDataProcThread : public QThread {
  public:
    TDataProcThread(ReceiveBuffer& buffer, FrameWriter& writer, DeviceState& state,
                    IMAGE_BUFFER& pictures, IMAGE_BUFFER& snapshots, LiveFrameSink& live,
                    WindowPort& window, InboundTiming timing = {}, QObject* parent = nullptr);
    ~TDataProcThread() override;

    // Handles what is at the front of the receive buffer. True when it consumed bytes,
    // false when there is nothing to do until more bytes arrive (or, for a frame waiting
    // to be believed, until the line has been quiet long enough).
    bool DispatchFrame();

    // True once at least n bytes are buffered. Gives up after payloadStall in which no new
    // byte arrived, or at once when a command abandons its reply. False at once on a stop
    // request. Every byte that arrives meanwhile counts as reply progress.
    bool WaitForBytes(uint32_t n) { return WaitForBytes(n, Progress::kReply); }

    void RequestStop();
    bool StopRequested() const { return stop_.load(std::memory_order_acquire); }

    const PictureReception& Reception() const { return reception_; }

  protected:
    void run() override;

  private:
    using Clock = std::chrono::steady_clock;
    // Enough for a header and its payload's first bytes, and for a chain of a few bare
    // frames behind one another with the start of the frame that follows them.
    static constexpr uint32_t kLookahead = 64;
    // Where the front stands: at a frame boundary; behind a few stray bytes dropped
    // there; or possibly inside a frame.
    enum class Footing { kBoundary, kStray, kLost };
    enum class Progress { kReply, kNotReply };

    bool WaitForBytes(uint32_t n, Progress progress);
    std::chrono::milliseconds IdleWait() const;
    void NoteArrivals();
    void NoteBufferReset();
    bool LineQuiet() const;
    bool QuietVouches() const;
    uint32_t PeekFront(std::array<uint8_t, kLookahead>& bytes) const;
    StartVerdict Believe(const uint8_t* bytes, uint32_t held, uint32_t size, int depth) const;
    bool DropStray(uint32_t held, const uint8_t* bytes);
    bool SkipPadding();
    StartVerdict FrameInPadding(const uint8_t* bytes, uint32_t held) const;
    void HandleFrame(const frame::Header& header);
    void DropFront(uint32_t n);
    void GiveUp();
    void NoteReplyProgress(uint64_t bytes);
    void AnswerProbe();
    void ReceiveDirectory(uint16_t length);
    void ReceiveAcknowledgement();
    void ReceiveDiscard(uint16_t length);
    void ReportMemoryFull();
    void SetTransferStatus(TransferStatus status);

    ReceiveBuffer& buffer_;
    FrameWriter& writer_;
    DeviceState& state_;
    WindowPort& window_;
    const InboundTiming timing_;
    PictureReception reception_;
    std::atomic<bool> stop_{false};

    // Data thread only.
    uint64_t lastReceived_ = 0;
    Clock::time_point lastArrival_;
    uint32_t seenClears_ = 0;
    Footing footing_ = Footing::kBoundary;
    uint32_t strayRun_ = 0;       // stray bytes dropped since the last boundary
    uint32_t padding_ = 0;        // announced padding of the last picture, still to skip
    uint64_t stalledUntil_ = 0;   // bytes received when a frame was last given up on
    bool awaitingQuiet_ = false;  // a frame at the front waits for the line to fall quiet
};

}  // namespace dm

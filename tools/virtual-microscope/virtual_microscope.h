// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A microscope on a pseudo-terminal, for development, demos and tests. It answers every
// request the program sends (probe, link start, disconnect, directory, picture, delete,
// delete all, upload, snapshot, camera on/off with a live stream, the eight keys), keeps
// a wire log of what it received, can probe the program itself, and can be told to
// misbehave (Faults).
//
// Threads: Start/Stop from one controlling thread; everything that talks to the
// pseudo-terminal runs on the microscope's own thread. The queries, the wire log, the
// fault switches, SendProbe and Unplug may be used from any thread. The destructor stops
// and joins.
//
// The microscope's thread sleeps until the line or a timer that is really due needs it:
// input, room to write while output is pending and not held back (throttle, pause), the
// next live frame, its own probe, a stalled request's give-up time, the exclusive-use
// check. Calls from other threads wake it.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "virtual-microscope/options.h"
#include "virtual-microscope/picture_memory.h"
#include "virtual-microscope/pseudo_terminal.h"
#include "virtual-microscope/published_link.h"
#include "virtual-microscope/request_parser.h"
#include "virtual-microscope/specimen_painter.h"
#include "virtual-microscope/wire_log.h"

namespace dm::vm {

class VirtualMicroscope {
  public:
    using Clock = std::chrono::steady_clock;

    static constexpr std::chrono::milliseconds kLiveFrameInterval{66};  // about 15 per second
    static constexpr int kThrottledBytesPerSecond = 11520;  // 115200 baud, 10 bits a byte
    // The zoom keys walk through kZoomSteps codes: every step of range 0 (0x00..0x0F),
    // then every step of range 2 (0x20..0x2F). Key8 zooms in, Key6 out.
    static constexpr int kZoomSteps = 32;
    static uint8_t ZoomCodeAt(int index);

    explicit VirtualMicroscope(Options options = {});
    ~VirtualMicroscope();
    VirtualMicroscope(const VirtualMicroscope&) = delete;
    VirtualMicroscope& operator=(const VirtualMicroscope&) = delete;

    // Opens the pseudo-terminal, publishes its link, fills the memory and starts the
    // microscope's thread. Returns the slave path, or "" with ErrorText() set; also when
    // the folder of published links may not be trusted (link/published_links.h).
    std::string Start();
    // Stops the thread, closes the pseudo-terminal and removes the link. Idempotent.
    void Stop();
    // Closes the microscope's side of the link at once, whatever it is doing, as if its
    // cable had been pulled: output not yet read is lost, the program's side of the
    // pseudo-terminal sees a hang-up and the published link is removed. Returns once that
    // is done; the microscope does not run any more (Stop still joins and cleans up).
    // Does nothing when it is not running.
    void Unplug();
    // False before Start, after Stop, and once the link has vanished (fault) or was
    // unplugged.
    bool IsRunning() const { return running_.load(std::memory_order_acquire); }

    const std::string& SlavePath() const { return slavePath_; }
    // The published link ("" when it could not be made; ErrorText() says why).
    const std::string& LinkPath() const { return linkPath_; }
    std::string ErrorText() const;

    // What was received.
    std::vector<Bytes> ReceivedFrames() const { return log_.Frames(); }
    std::size_t ReceivedCount() const { return log_.Count(); }
    std::optional<Bytes> WaitForFrame(const Bytes& prefix, std::chrono::milliseconds timeout,
                                      std::size_t from = 0) const {
        return log_.WaitFor(prefix, timeout, from);
    }
    // Bytes dropped because they began no request.
    std::size_t DroppedBytes() const { return dropped_.load(std::memory_order_relaxed); }

    // What it holds and shows.
    std::vector<StoredPicture> Pictures() const { return memory_.Pictures(); }
    uint8_t LiveZoomCode() const;
    bool IsStreaming() const { return streaming_.load(std::memory_order_relaxed); }
    std::size_t LiveFramesSent() const { return liveFramesSent_.load(std::memory_order_relaxed); }

    // Fault switches; take effect with the next frame sent.
    void SetFaults(const Faults& faults);
    Faults CurrentFaults() const;

    // Sends one probe of its own as soon as the output is free.
    void SendProbe() {
        probeRequested_.store(true, std::memory_order_relaxed);
        pty_.Wake();
    }

  private:
    void Run();
    void ServiceTimers(Clock::time_point now);
    // Reads only when the line reported input; stalled requests are given up either way.
    void ServiceInput(Clock::time_point now, bool readable);
    void ServiceOutput(Clock::time_point now);
    void ServiceExclusiveUse(Clock::time_point now);
    std::chrono::milliseconds NextWait(Clock::time_point now) const;
    // While output is pending: the moment before which it may not be written (throttle,
    // pause), when that is still to come.
    std::optional<Clock::time_point> OutputHeldUntil(Clock::time_point now) const;

    void Handle(const RequestParser::Event& event);
    void HandleRequest(const Bytes& request);
    void HandleKey(int key);
    void SendDirectory();
    void SendStoredPicture(uint32_t number);
    void SendLivePicture(uint32_t number);
    // liveSequence numbers the frames of the live stream (0 for any other picture).
    void SendPictureFrame(uint32_t info, const QByteArray& jpeg, uint32_t liveSequence = 0);
    void Enqueue(const uint8_t* bytes, std::size_t n);
    void EnqueueFrame(const Bytes& frame);
    void ServiceVanishing(Clock::time_point now);
    void Vanish();
    std::size_t Pending() const { return out_.size() - outPos_; }
    std::optional<uint32_t> MadeUpPictureNumber(uint32_t number) const;

    const Options options_;
    PseudoTerminal pty_;
    PublishedLink link_;
    WireLog log_;
    PictureMemory memory_;
    std::string slavePath_;
    std::string linkPath_;

    mutable std::mutex lock_;  // guards faults_ and error_
    Faults faults_;
    std::string error_;

    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> probeRequested_{false};
    std::atomic<bool> unplugRequested_{false};
    std::atomic<bool> streaming_{false};
    std::atomic<int> zoomIndex_{0};
    std::atomic<std::size_t> liveFramesSent_{0};
    std::atomic<std::size_t> dropped_{0};

    // Owned by the microscope's thread.
    RequestParser parser_;
    Bytes out_;
    std::size_t outPos_ = 0;
    std::optional<std::size_t> vanishAt_;  // close the link once out_ is written up to here
    // Written up to vanishAt_: the link closes once the program has read it (or later).
    std::optional<Clock::time_point> vanishDeadline_;
    // A picture's first half is written up to here, then the output pauses for pauseFor_.
    std::optional<std::size_t> pauseAt_;
    std::chrono::milliseconds pauseFor_{0};
    std::optional<Clock::time_point> pausedUntil_;
    Clock::time_point lastWrite_{};
    Clock::time_point startedAt_{};
    Clock::time_point nextLiveFrame_{};
    Clock::time_point nextProbe_{};
    Clock::time_point pacedUntil_{};  // a throttled line is busy with sent bytes until then
    // The last chunk left more output pending: the next one follows it on the line.
    bool lineContinues_ = false;
    Clock::time_point nextExclusiveCheck_{};
    Bytes uploadHeader_;
    SpecimenPainter livePainter_;
    double panX_ = 0;
    double panY_ = 0;
    bool animationLocked_ = false;
    double lockedSeconds_ = 0;
    int garbageCounter_ = 0;
};

}  // namespace dm::vm

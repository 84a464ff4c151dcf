#pragma once
// TDataProcThread: turns the bytes in the receive buffer into events. It finds frame
// headers at the front of the buffer, waits for payloads, answers the microscope's probe,
// stores the picture directory, raises the probe-reply and memory-full flags and passes
// picture frames to picture reception. It never starts a conversation.
//
// Threads: run() is the data thread. DispatchFrame and WaitForPayload belong to that
// thread (tests call them directly on a thread that has not been started). The receive
// buffer lock is held only around single buffer operations, never across a wait, a sleep,
// a render or a message box. RequestStop is for any thread; destruction requests a stop
// and joins. A memory-full box holds this thread until the window closes it. With nothing
// to do the thread sleeps on the receive buffer until a byte arrives.
//
// Bytes are only read as frames at a frame boundary. A frame that ends badly (a payload
// given up on, lengths that disagree) leaves the front somewhere inside a frame: the late
// rest of a given-up frame is dropped by the length it announced, and anything that still
// begins no frame is dropped until the line has been quiet, so picture bytes such as
// F8 A1 or F8 82 never pose as frames.

#include <QThread>
#include <atomic>
#include <chrono>
#include <cstdint>

#include "inbound/device_state.h"
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

    // Handles the frame at the front of the receive buffer. True when it consumed bytes
    // (or the line turned quiet after a discard), false when there is nothing to do until
    // more bytes arrive: fewer than the 4 bytes of a header, or a discard waiting for quiet.
    bool DispatchFrame();

    // True once at least n bytes are buffered. Gives up after payloadStall in which no new
    // byte arrived, or at once when a command abandons its reply: what is buffered is
    // dropped and the rest of the frame is expected late. False at once on a stop request.
    bool WaitForPayload(uint32_t n) { return WaitForPayload(n, n); }
    // As above for a frame with frameRest bytes still to come in all (at least n).
    bool WaitForPayload(uint32_t n, uint32_t frameRest);

    // A frame start the microscope sends (lead byte, known command, plausible length).
    static bool IsFrameStart(const frame::Header& header);

    void RequestStop();
    bool StopRequested() const { return stop_.load(std::memory_order_acquire); }

    const PictureReception& Reception() const { return reception_; }

  protected:
    void run() override;

  private:
    using Clock = std::chrono::steady_clock;

    std::chrono::milliseconds IdleWait() const;
    void NoteArrivals();
    bool LineQuiet() const;
    void Resynchronise();
    void StartDiscarding();
    bool DiscardUntilQuiet();
    bool SkipRemainder();
    void GiveUpPayload(uint32_t n);
    void EmptyBuffer();
    void DropHeader();
    void AnswerProbe();
    void ReceiveDirectory(uint16_t length);
    void ReceiveAcknowledgement(uint16_t length);
    void ReceiveDiscard(uint16_t length);
    void ReportMemoryFull();
    // Waits for and removes n payload bytes; false (status 2) when they did not come.
    bool SkipPayload(uint32_t n);
    void SetTransferStatus(TransferStatus status);

    ReceiveBuffer& buffer_;
    FrameWriter& writer_;
    DeviceState& state_;
    WindowPort& window_;
    const InboundTiming timing_;
    PictureReception reception_;
    std::atomic<bool> stop_{false};

    // Data thread only: where the front of the buffer stands.
    uint64_t lastReceived_ = 0;
    Clock::time_point lastArrival_;
    bool suspectBoundary_ = false;  // the last frame ended badly
    int resyncRun_ = 0;             // stray bytes dropped in a row
    bool discarding_ = false;       // dropping everything until the line is quiet
    uint32_t remainder_ = 0;        // late bytes still due from a frame given up on
    bool remainderLooked_ = false;  // the first late bytes were checked for a frame start
};

}  // namespace dm

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
// and joins. A memory-full box holds this thread until the window closes it.

#include <QThread>
#include <atomic>
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

    // Handles the frame at the front of the receive buffer. True when it consumed bytes,
    // false when fewer than the 4 bytes of a header were buffered.
    bool DispatchFrame();

    // True once at least n bytes are buffered. Gives up after about 5 s in which no new
    // byte arrived, or at once when a command abandons its reply, emptying the whole
    // receive buffer; false at once on a stop request.
    bool WaitForPayload(uint32_t n);

    void RequestStop();
    bool StopRequested() const { return stop_.load(std::memory_order_acquire); }

    const PictureReception& Reception() const { return reception_; }

  protected:
    void run() override;

  private:
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
};

}  // namespace dm

#pragma once
// Picture reception: reads one picture frame's payload into the picture buffer and hands
// the picture to the live view, the picture list and the snapshot list as the steering
// flags say, then reports the transfer as done.
//
// Threads: runs on the data thread only. The steering flags and the snapshot counter are
// written by the window and command threads; the transfer status is stored last (release)
// so a reader that sees it done finds the picture already in its list.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "inbound/device_state.h"
#include "inbound/image_buffer.h"
#include "inbound/live_frame_sink.h"
#include "link/frame.h"
#include "link/receive_buffer.h"

namespace dm {

class PictureReception {
  public:
    // Blocks until n payload bytes are buffered; false on a stall or a stop request.
    using PayloadWait = std::function<bool(uint32_t n)>;

    PictureReception(ReceiveBuffer& buffer, DeviceState& state, IMAGE_BUFFER& pictures,
                     IMAGE_BUFFER& snapshots, LiveFrameSink& live, PayloadWait waitForPayload);

    // Called after the frame header was dropped; length is the header's length field.
    // Consumes exactly length bytes unless the payload wait fails (which empties the
    // receive buffer). A payload whose picture size does not fit the length field or the
    // picture buffer is skipped whole and reported as transfer status 2.
    void Receive(uint16_t length);

    // The last picture received whole; untouched by a failed or malformed frame.
    uint32_t PictureInfo() const { return pictureInfo_; }
    uint32_t PictureSize() const { return pictureSize_; }
    const uint8_t* PictureBytes() const { return pictureBuffer_->data(); }

  private:
    enum class ReadResult { Read, Malformed, Missing };

    ReadResult ReadPayload(uint16_t length);
    void Route();
    void Finish(TransferStatus status);

    ReceiveBuffer& buffer_;
    DeviceState& state_;
    IMAGE_BUFFER& pictures_;
    IMAGE_BUFFER& snapshots_;
    LiveFrameSink& live_;
    PayloadWait waitForPayload_;

    uint32_t pictureInfo_ = 0;
    uint32_t pictureSize_ = 0;
    std::unique_ptr<std::array<uint8_t, frame::kPictureBufferSize>> pictureBuffer_;
};

}  // namespace dm

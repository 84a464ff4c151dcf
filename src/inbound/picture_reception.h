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

// How a frame ended: read as announced, consumed but refused, or given up on while its
// payload was still missing.
enum class FrameEnd { Clean, Malformed, Abandoned };

class PictureReception {
  public:
    // Blocks until n payload bytes are buffered; false on a stall or a stop request.
    // frameRest is how many bytes the frame still has in all (at least n): what a give-up
    // leaves due.
    using PayloadWait = std::function<bool(uint32_t n, uint32_t frameRest)>;

    PictureReception(ReceiveBuffer& buffer, DeviceState& state, IMAGE_BUFFER& pictures,
                     IMAGE_BUFFER& snapshots, LiveFrameSink& live, PayloadWait waitForPayload);

    // Called after the frame header was dropped; length is the header's length field.
    // A well-formed frame (length = 8 + picture size) is read and routed. A frame whose
    // length and picture size disagree is refused (transfer status 2): of it, only the
    // bytes both agree on are consumed, the smaller of length and 8 + size, and the data
    // thread looks at what follows with suspicion.
    FrameEnd Receive(uint16_t length);

    // The last picture received whole; untouched by a failed or malformed frame.
    uint32_t PictureInfo() const { return pictureInfo_; }
    uint32_t PictureSize() const { return pictureSize_; }
    const uint8_t* PictureBytes() const { return pictureBuffer_->data(); }

  private:
    struct PictureHeader {
        uint32_t info = 0;
        uint32_t size = 0;
    };

    bool PeekPictureHeader(PictureHeader& header);
    bool DropBytes(uint32_t n);
    bool ReadPicture(const PictureHeader& header);
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

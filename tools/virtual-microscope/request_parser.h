// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Cuts the bytes the program sends into requests. Requests are 4-byte headers, the
// picture and delete requests carry 4 more bytes, and an upload carries the picture
// size from its length field in picture bytes that arrive slowly (32 bytes every 20 ms).
//
// Bytes that begin no known request are dropped one at a time, as the program itself
// resynchronises. A request whose payload stops arriving for kPayloadStall is given up:
// a short request loses its lead byte and the rest is examined again; an upload is
// reported as abandoned with the bytes it got.
//
// An upload is reported in two steps, so that the microscope can answer memory full
// right after the header: UploadHeader, then (after Accept/RefuseUpload) UploadPayload
// or UploadAbandoned. The payload of a refused upload is skipped if it comes; when the
// next bytes are not a JPEG start, it is taken as not coming.
//
// Thread: one owner.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace dm::vm {

class RequestParser {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kPayloadStall{1000};

    struct Event {
        enum class Kind {
            Request,          // bytes: the whole request, header and payload
            UploadHeader,     // bytes: the 4 header bytes; size: picture bytes announced
            UploadPayload,    // bytes: the picture bytes (empty when refused and skipped)
            UploadAbandoned,  // bytes: what arrived before the payload stalled
        };
        Kind kind = Kind::Request;
        std::vector<uint8_t> bytes;
        std::size_t size = 0;
        bool refused = false;  // upload payload events: the upload was refused
    };

    void Feed(const uint8_t* bytes, std::size_t n, Clock::time_point now);
    // The next complete event, if any; call until it returns nothing.
    std::optional<Event> Next(Clock::time_point now);
    // After an UploadHeader: whether the payload is to be stored.
    void AcceptUpload() { upload_.refused = false; }
    void RefuseUpload() { upload_.refused = true; }

    std::size_t DroppedBytes() const { return dropped_; }
    // When Next gives up a request or upload whose bytes stopped coming, if one is
    // waiting for more; nothing happens by itself before then.
    std::optional<Clock::time_point> GivesUpAt() const {
        if (buffer_.empty() && !upload_.active) {
            return std::nullopt;
        }
        return lastByte_ + kPayloadStall;
    }
    std::size_t Buffered() const { return buffer_.size(); }

    // The payload size of a request with this command byte, or nullopt when the
    // command byte is not one the microscope knows. Uploads say 0 here.
    static std::optional<std::size_t> PayloadSize(uint8_t command);

  private:
    struct Upload {
        bool active = false;
        bool refused = false;
        std::size_t size = 0;
    };

    std::optional<Event> NextRequest(Clock::time_point now);
    std::optional<Event> NextUploadPayload(Clock::time_point now);
    bool Stalled(Clock::time_point now) const { return now - lastByte_ >= kPayloadStall; }
    std::vector<uint8_t> TakeFront(std::size_t n);
    void DropFront(std::size_t n);

    std::deque<uint8_t> buffer_;
    Clock::time_point lastByte_{};
    Upload upload_;
    std::size_t dropped_ = 0;
};

}  // namespace dm::vm

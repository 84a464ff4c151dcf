// SPDX-License-Identifier: GPL-3.0-or-later
#include "virtual-microscope/request_parser.h"

#include <algorithm>

#include "link/frame.h"

namespace dm::vm {

namespace {

constexpr uint8_t kJpegStart = 0xFF;

}  // namespace

std::optional<std::size_t> RequestParser::PayloadSize(uint8_t command) {
    switch (command) {
        case frame::kPictureRequest:
        case frame::kDeleteRequest:
            return frame::kRequestArgumentSize;
        case frame::kLinkStart:
        case frame::kDisconnect:
        case frame::kDirectoryRequest:
        case frame::kDeleteAllRequest:
        case frame::kUpload:
        case frame::kGetSnapshot:
        case frame::kCameraOn:
        case frame::kCameraOff:
        case frame::kProbe:
        case frame::kProbeReply:
            return 0;
        default:
            break;
    }
    if (command > frame::kKeyBase && command <= frame::kKeyBase + frame::kKeyCount) {
        return 0;
    }
    return std::nullopt;
}

void RequestParser::Feed(const uint8_t* bytes, std::size_t n, Clock::time_point now) {
    if (n == 0) {
        return;
    }
    buffer_.insert(buffer_.end(), bytes, bytes + n);
    lastByte_ = now;
}

std::optional<RequestParser::Event> RequestParser::Next(Clock::time_point now) {
    return upload_.active ? NextUploadPayload(now) : NextRequest(now);
}

std::optional<RequestParser::Event> RequestParser::NextRequest(Clock::time_point now) {
    while (!buffer_.empty()) {
        const auto payload = buffer_.size() >= 2 ? PayloadSize(buffer_[1]) : std::nullopt;
        const bool lead = buffer_[0] == frame::kLead;
        if (!lead || (buffer_.size() >= 2 && !payload)) {
            DropFront(1);
            ++dropped_;
            continue;
        }
        const std::size_t whole = frame::kHeaderSize + payload.value_or(0);
        if (buffer_.size() < whole) {
            if (Stalled(now)) {
                DropFront(1);
                ++dropped_;
                continue;
            }
            return std::nullopt;
        }
        Event event;
        event.bytes = TakeFront(whole);
        if (event.bytes[1] == frame::kUpload) {
            event.kind = Event::Kind::UploadHeader;
            event.size = frame::ReadLe16(event.bytes.data() + 2);
            upload_ = {event.size > 0, false, event.size};
        }
        return event;
    }
    return std::nullopt;
}

std::optional<RequestParser::Event> RequestParser::NextUploadPayload(Clock::time_point now) {
    Event event;
    event.refused = upload_.refused;
    if (upload_.refused && !buffer_.empty() && buffer_[0] != kJpegStart) {
        // The program saw memory full and sent no picture; what follows is a request.
        upload_ = {};
        event.kind = Event::Kind::UploadPayload;
        return event;
    }
    if (buffer_.size() >= upload_.size) {
        event.kind = Event::Kind::UploadPayload;
        event.bytes = TakeFront(upload_.size);
        if (upload_.refused) {
            event.size = event.bytes.size();
            event.bytes.clear();
        }
        upload_ = {};
        return event;
    }
    if (Stalled(now)) {
        event.kind = Event::Kind::UploadAbandoned;
        event.size = upload_.size;
        event.bytes = TakeFront(buffer_.size());
        upload_ = {};
        return event;
    }
    return std::nullopt;
}

std::vector<uint8_t> RequestParser::TakeFront(std::size_t n) {
    n = std::min(n, buffer_.size());
    std::vector<uint8_t> bytes(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
    DropFront(n);
    return bytes;
}

void RequestParser::DropFront(std::size_t n) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
}

}  // namespace dm::vm

// SPDX-License-Identifier: GPL-3.0-or-later
#include "virtual-microscope/wire_log.h"

#include <algorithm>

namespace dm::vm {

namespace {

constexpr std::size_t kPayloadEdgeBytes = 4;
constexpr char kHexDigits[] = "0123456789ABCDEF";

bool StartsWith(const Bytes& frame, const Bytes& prefix) {
    return frame.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), frame.begin());
}

}  // namespace

std::string HexLine(const uint8_t* bytes, std::size_t n) {
    std::string line;
    line.reserve(n * 3);
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0) {
            line += ' ';
        }
        line += kHexDigits[bytes[i] >> 4];
        line += kHexDigits[bytes[i] & 0x0F];
    }
    return line;
}

WireLog::WireLog(const std::string& path) {
    if (!path.empty()) {
        file_.open(path, std::ios::out | std::ios::trunc);
    }
}

void WireLog::Record(const Bytes& frame) {
    std::lock_guard guard(lock_);
    WriteLine(HexLine(frame.data(), frame.size()));
    frames_.push_back(frame);
    arrived_.notify_all();
}

void WireLog::RecordWithPayload(const Bytes& header, const Bytes& payload,
                                const std::string& note) {
    std::string summary = "  payload " + std::to_string(payload.size()) + " bytes";
    if (!payload.empty()) {
        const std::size_t edge = std::min(kPayloadEdgeBytes, payload.size());
        summary += ": " + HexLine(payload.data(), edge) + " ... " +
                   HexLine(payload.data() + payload.size() - edge, edge);
    }
    if (!note.empty()) {
        summary += " (" + note + ")";
    }
    Bytes whole = header;
    whole.insert(whole.end(), payload.begin(), payload.end());

    std::lock_guard guard(lock_);
    WriteLine(HexLine(header.data(), header.size()));
    WriteLine(summary);
    frames_.push_back(std::move(whole));
    arrived_.notify_all();
}

void WireLog::Note(const std::string& text) {
    std::lock_guard guard(lock_);
    WriteLine("  " + text);
}

std::vector<Bytes> WireLog::Frames() const {
    std::lock_guard guard(lock_);
    return frames_;
}

std::size_t WireLog::Count() const {
    std::lock_guard guard(lock_);
    return frames_.size();
}

std::optional<Bytes> WireLog::WaitFor(const Bytes& prefix, std::chrono::milliseconds timeout,
                                      std::size_t from) const {
    std::unique_lock guard(lock_);
    std::optional<Bytes> found;
    arrived_.wait_for(guard, timeout, [&] {
        for (std::size_t i = from; i < frames_.size(); ++i) {
            if (StartsWith(frames_[i], prefix)) {
                found = frames_[i];
                return true;
            }
        }
        return false;
    });
    return found;
}

void WireLog::WriteLine(const std::string& line) {
    if (file_.is_open()) {
        file_ << line << '\n';
        file_.flush();
    }
}

}  // namespace dm::vm

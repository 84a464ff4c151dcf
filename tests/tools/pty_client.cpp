// SPDX-License-Identifier: GPL-3.0-or-later
#include "pty_client.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "link/frame.h"

namespace dm::vm::testing {

namespace {

using Clock = std::chrono::steady_clock;

bool IsInboundCommand(uint8_t command) {
    switch (command) {
        case frame::kProbe:
        case frame::kDirectory:
        case frame::kPicture:
        case frame::kProbeReply:
        case frame::kMemoryFull:
        case frame::kAcknowledge:
        case frame::kDiscard:
            return true;
        default:
            return false;
    }
}

std::size_t PayloadAsRead(uint8_t command, uint16_t length) {
    switch (command) {
        case frame::kDirectory:
            return std::size_t{length} + 1;  // count (2) + L - 1 bytes of entries
        case frame::kPicture:
        case frame::kAcknowledge:
        case frame::kDiscard:
            return length;
        default:
            return 0;
    }
}

}  // namespace

PtyClient::PtyClient(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd_ < 0) {
        return;
    }
    termios settings{};
    tcgetattr(fd_, &settings);
    cfmakeraw(&settings);
    tcsetattr(fd_, TCSANOW, &settings);
}

PtyClient::~PtyClient() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void PtyClient::Write(const Bytes& bytes) {
    std::size_t done = 0;
    const auto deadline = Clock::now() + kReplyTimeout;
    while (fd_ >= 0 && done < bytes.size() && Clock::now() < deadline) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else {
            pollfd entry{fd_, POLLOUT, 0};
            ::poll(&entry, 1, 10);
        }
    }
}

void PtyClient::WriteInPieces(const Bytes& bytes, std::size_t chunk, milliseconds pause) {
    for (std::size_t at = 0; at < bytes.size(); at += chunk) {
        const auto end =
            bytes.begin() + static_cast<std::ptrdiff_t>(std::min(at + chunk, bytes.size()));
        Write(Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(at), end));
        std::this_thread::sleep_for(pause);
    }
}

Bytes PtyClient::Read(std::size_t n, milliseconds timeout) {
    Bytes got;
    const auto deadline = Clock::now() + timeout;
    while (fd_ >= 0 && got.size() < n && !hungUp_) {
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd entry{fd_, POLLIN, 0};
        if (::poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        uint8_t chunk[4096];
        const ssize_t r = ::read(fd_, chunk, std::min(sizeof chunk, n - got.size()));
        if (r > 0) {
            got.insert(got.end(), chunk, chunk + r);
        } else if (r == 0 || (errno != EAGAIN && errno != EINTR)) {
            hungUp_ = true;
        }
    }
    return got;
}

std::optional<ReceivedFrame> PtyClient::ReadFrame(milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    auto left = [&] {
        return std::max(milliseconds(0),
                        std::chrono::duration_cast<milliseconds>(deadline - Clock::now()));
    };
    ReceivedFrame result;
    Bytes head = Read(2, left());
    while (head.size() == 2 && !(head[0] == frame::kLead && IsInboundCommand(head[1]))) {
        head.erase(head.begin());
        ++result.skipped;
        const Bytes next = Read(1, left());
        head.insert(head.end(), next.begin(), next.end());
    }
    const Bytes length = Read(2, left());
    if (head.size() < 2 || length.size() < 2) {
        return std::nullopt;
    }
    result.command = head[1];
    result.length = frame::ReadLe16(length.data());
    const std::size_t wanted = PayloadAsRead(result.command, result.length);
    result.payload = Read(wanted, left());
    if (result.payload.size() < wanted) {
        return std::nullopt;
    }
    return result;
}

Bytes PtyClient::Drain(milliseconds quiet) {
    constexpr milliseconds kLongestDrain{10000};
    const auto deadline = Clock::now() + kLongestDrain;
    Bytes all;
    while (Clock::now() < deadline) {
        const Bytes got = Read(1 << 16, quiet);
        if (got.empty()) {
            return all;
        }
        all.insert(all.end(), got.begin(), got.end());
    }
    return all;
}

Bytes Request(uint8_t command, uint16_t length) {
    const auto header = frame::MakeHeader(command, length);
    return Bytes(header.begin(), header.end());
}

Bytes RequestWithWord(uint8_t command, uint32_t word) {
    Bytes bytes = Request(command, frame::kRequestArgumentSize);
    bytes.resize(frame::kHeaderSize + frame::kRequestArgumentSize);
    frame::WriteLe32(bytes.data() + frame::kHeaderSize, word);
    return bytes;
}

}  // namespace dm::vm::testing

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's side of a virtual microscope's pseudo-terminal, reduced to raw reads and
// writes with time-outs, so the tests see exactly the bytes on the wire.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dm::vm::testing {

using Bytes = std::vector<uint8_t>;
using std::chrono::milliseconds;

inline constexpr milliseconds kReplyTimeout{3000};
// How long a test listens to be sure that nothing (more) comes.
inline constexpr milliseconds kQuietTime{400};

struct ReceivedFrame {
    uint8_t command = 0;
    uint16_t length = 0;
    Bytes payload;            // as the program reads it: directory L + 1, picture L bytes
    std::size_t skipped = 0;  // bytes before the frame that began none
};

class PtyClient {
  public:
    explicit PtyClient(const std::string& path);
    ~PtyClient();
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int Descriptor() const { return fd_; }

    void Write(const Bytes& bytes);
    // Writes in pieces of chunk bytes with a pause after each, as the program's upload.
    void WriteInPieces(const Bytes& bytes, std::size_t chunk, milliseconds pause);
    // Up to n bytes; fewer when the time-out passes or the other side hangs up.
    Bytes Read(std::size_t n, milliseconds timeout = kReplyTimeout);
    // The next frame, skipping bytes that begin none; nullopt when it does not come whole.
    std::optional<ReceivedFrame> ReadFrame(milliseconds timeout = kReplyTimeout);
    // Reads until nothing has come for quiet (10 s at most); returns the bytes read.
    Bytes Drain(milliseconds quiet = kQuietTime);
    // True once a read ended because the microscope's side was closed.
    bool HungUp() const { return hungUp_; }

  private:
    int fd_ = -1;
    bool hungUp_ = false;
};

Bytes Request(uint8_t command, uint16_t length = 0);
Bytes RequestWithWord(uint8_t command, uint32_t word);  // picture and delete requests

}  // namespace dm::vm::testing

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every frame the virtual microscope received, in order: kept in memory for tests and,
// when a file is given, written one frame a line as uppercase hex bytes ("F8 31 00 00").
// An upload is written as its header line and one more line that describes its payload
// (size and first and last bytes) rather than tens of kilobytes of hex.
//
// Thread-safe: the microscope's thread records, any thread reads and waits.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace dm::vm {

using Bytes = std::vector<uint8_t>;

// "F8 31 00 00"
std::string HexLine(const uint8_t* bytes, std::size_t n);

class WireLog {
  public:
    // Opens (truncates) the file when a path is given. IsFileOpen() tells whether it did.
    explicit WireLog(const std::string& path = {});

    // A received frame, logged as one line; the list gets the same bytes.
    void Record(const Bytes& frame);
    // A received frame whose payload is summarised on a second line; the list keeps
    // the header and payload as one frame.
    void RecordWithPayload(const Bytes& header, const Bytes& payload, const std::string& note);
    // A line that is not a frame (e.g. an upload payload that was skipped), file only.
    void Note(const std::string& text);

    std::vector<Bytes> Frames() const;
    std::size_t Count() const;
    // Waits until a frame at index >= from begins with prefix; returns it, or nullopt
    // after timeout.
    std::optional<Bytes> WaitFor(const Bytes& prefix, std::chrono::milliseconds timeout,
                                 std::size_t from = 0) const;

    bool IsFileOpen() const { return file_.is_open(); }

  private:
    void WriteLine(const std::string& line);

    mutable std::mutex lock_;
    mutable std::condition_variable arrived_;
    std::vector<Bytes> frames_;
    std::ofstream file_;
};

}  // namespace dm::vm

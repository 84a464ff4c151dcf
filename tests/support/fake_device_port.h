// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A DevicePort for tests: records every write as one frame, lets the test script which
// port numbers open, and can run a hook on every write (on the writer's thread).
// Thread-safe.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "link/device_port.h"

namespace dm::test {

using Bytes = std::vector<uint8_t>;

class FakeDevicePort : public DevicePort {
  public:
    using WriteHook = std::function<void(const Bytes&)>;

    // Port numbers that open; every other number fails.
    void SetOpenablePorts(std::set<int> ports);
    // Writes are recorded even with no port open, unless this is set.
    void SetRejectWritesWhenClosed(bool reject);
    // Writes after the first `count` fail (-1) and are not recorded: a pulled cable.
    void FailWritesAfter(std::size_t count);
    void SetWriteHook(WriteHook hook);
    // What an attempt to open this port number finds (default: "fake<n>", opening when
    // openable, else no device). The port table is the port numbers with an entry here.
    void SetAttempt(int portNumber, OpenAttempt attempt);

    bool OpenPort(uint8_t portNumber, int8_t baudIndex) override;
    void ClosePort() override;
    bool IsOpen() const override;
    int32_t WritePort(const uint8_t* bytes, int32_t n) override;
    uint64_t BytesReceived() const override { return received_.load(); }
    OpenAttempt LastAttempt() const override;
    std::vector<std::string> DeviceNames() const override;
    bool DevicePresent(const std::string& /*device*/) const override { return true; }
    // As if n more bytes had come in from the microscope.
    void AddBytesReceived(uint64_t n) { received_ += n; }

    std::vector<Bytes> Writes() const;
    // Each write as spaced hex, e.g. "F8 21 00 00".
    std::vector<std::string> WrittenHex() const;
    std::vector<int> OpenAttempts() const;
    std::vector<int> Closes() const;  // port numbers closed, in order
    int OpenPortNumber() const;       // -1 when closed
    bool WaitForWrites(std::size_t count, std::chrono::milliseconds timeout) const;
    void ClearWrites();

    static std::string Hex(const Bytes& bytes);

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::set<int> openable_;
    bool rejectWhenClosed_ = false;
    std::size_t writesBeforeFailure_ = SIZE_MAX;
    WriteHook hook_;
    int open_ = -1;
    std::vector<Bytes> writes_;
    std::vector<int> attempts_;
    std::vector<int> closes_;
    std::map<int, OpenAttempt> scripted_;
    std::atomic<uint64_t> received_{0};
};

}  // namespace dm::test

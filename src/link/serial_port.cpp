// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/serial_port.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>

#include "link/serial_device.h"

namespace dm {
namespace {

bool IsBaudIndex(int8_t baudIndex) {
    return baudIndex >= 0 && baudIndex < std::ssize(SerialPort::kBaudRates);
}

}  // namespace

SerialPort::SerialPort(ReceiveBuffer& buffer, PortTableSource table)
    : buffer_(buffer), table_(std::move(table)) {}

SerialPort::~SerialPort() {
    ClosePort();
}

bool SerialPort::OpenPort(uint8_t portNumber, int8_t baudIndex) {
    if (IsOpen()) {
        return false;  // the bytes of the open port stay where they are
    }
    {
        std::lock_guard lock(buffer_.Lock());
        buffer_.Clear();
    }
    if (handle_.load(std::memory_order_acquire) != kNoPort) {
        return false;
    }
    // Asked afresh each time: a virtual microscope or a USB adapter may have appeared.
    const std::optional<std::string> device =
        table_ ? table_().DeviceFor(portNumber) : std::nullopt;
    lastAttempt_ = OpenAttempt{device.value_or(std::string()), PortProblem::kNoDevice};
    if (!device || !IsBaudIndex(baudIndex)) {
        return false;
    }
    const intptr_t handle =
        serial_device::Open(*device, kBaudRates[baudIndex], &lastAttempt_.problem);
    if (handle == kNoPort) {
        return false;
    }
    intptr_t noPort = kNoPort;
    if (!handle_.compare_exchange_strong(noPort, handle, std::memory_order_acq_rel)) {
        serial_device::Close(handle);  // a concurrent OpenPort got there first
        return false;
    }
    open_.store(true, std::memory_order_release);
    return true;
}

void SerialPort::ClosePort() {
    CloseHandle();
}

// True when this call closed the handle (false: no port was open).
bool SerialPort::CloseHandle() {
    open_.store(false, std::memory_order_release);
    intptr_t handle = kNoPort;
    {
        // Waits for a poll or a write in progress (a write waits at most about 1 s).
        std::unique_lock exclusive(handleInUse_);
        handle = handle_.exchange(kNoPort, std::memory_order_acq_rel);
    }
    if (handle == kNoPort) {
        return false;
    }
    serial_device::Close(handle);
    return true;
}

OpenAttempt SerialPort::LastAttempt() const {
    return lastAttempt_;
}

std::vector<std::string> SerialPort::DeviceNames() const {
    return table_ ? table_().Devices() : std::vector<std::string>();
}

bool SerialPort::DevicePresent(const std::string& device) const {
    return serial_device::Present(device);
}

void SerialPort::PollPort() {
    if (handle_.load(std::memory_order_relaxed) == kNoPort) {
        return;
    }
    std::array<uint8_t, kPollChunkSize> chunk;
    int32_t got = 0;
    {
        std::shared_lock inUse(handleInUse_);
        const intptr_t handle = handle_.load(std::memory_order_acquire);
        if (handle == kNoPort) {
            return;
        }
        const int32_t queued = serial_device::QueuedBytes(handle);
        if (queued > 0) {
            // What does not fit in the chunk stays queued for the next poll.
            got = serial_device::Read(handle, chunk.data(),
                                      std::min(static_cast<uint32_t>(queued), kPollChunkSize));
        } else {
            got = queued;
        }
    }
    if (got == serial_device::kDeviceGone) {
        DeviceGone();
        return;
    }
    if (got <= 0) {
        return;
    }
    std::lock_guard lock(buffer_.Lock());
    // A full buffer refuses the chunk whole; the data thread resynchronises on the gap.
    buffer_.Append(chunk.data(), static_cast<uint32_t>(got));
}

int32_t SerialPort::WritePort(const uint8_t* bytes, int32_t n) {
    int32_t written = 0;
    {
        std::shared_lock inUse(handleInUse_);
        const intptr_t handle = handle_.load(std::memory_order_acquire);
        if (handle == kNoPort) {
            return -1;
        }
        if (bytes == nullptr || n <= 0) {
            return 0;
        }
        written = serial_device::Write(handle, bytes, n);
    }
    if (written == serial_device::kDeviceGone) {
        DeviceGone();
        return -1;
    }
    return written;
}

// Whoever takes the handle tells, so a loss met by a poll and a write at once is told
// once, and a port the user closed meanwhile is no loss.
void SerialPort::DeviceGone() {
    if (CloseHandle() && lossHandler_) {
        lossHandler_();
    }
}

}  // namespace dm

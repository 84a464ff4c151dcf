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
    if (!device || !IsBaudIndex(baudIndex)) {
        return false;
    }
    const intptr_t handle = serial_device::Open(*device, kBaudRates[baudIndex]);
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
    open_.store(false, std::memory_order_release);
    intptr_t handle = kNoPort;
    {
        // Waits for a poll or a write in progress (a write waits at most about 1 s).
        std::unique_lock exclusive(handleInUse_);
        handle = handle_.exchange(kNoPort, std::memory_order_acq_rel);
    }
    if (handle != kNoPort) {
        serial_device::Close(handle);
    }
}

void SerialPort::PollPort() {
    if (handle_.load(std::memory_order_relaxed) == kNoPort) {
        return;
    }
    std::array<uint8_t, kPollChunkSize> chunk;
    uint32_t got = 0;
    {
        std::shared_lock inUse(handleInUse_);
        const intptr_t handle = handle_.load(std::memory_order_acquire);
        if (handle == kNoPort) {
            return;
        }
        const uint32_t queued = serial_device::QueuedBytes(handle);
        if (queued == 0) {
            return;
        }
        // What does not fit in the chunk stays queued for the next poll.
        got = serial_device::Read(handle, chunk.data(), std::min(queued, kPollChunkSize));
    }
    if (got == 0) {
        return;
    }
    std::lock_guard lock(buffer_.Lock());
    // A full buffer refuses the chunk whole; the data thread resynchronises on the gap.
    buffer_.Append(chunk.data(), got);
}

int32_t SerialPort::WritePort(const uint8_t* bytes, int32_t n) {
    std::shared_lock inUse(handleInUse_);
    const intptr_t handle = handle_.load(std::memory_order_acquire);
    if (handle == kNoPort) {
        return -1;
    }
    if (bytes == nullptr || n <= 0) {
        return 0;
    }
    return serial_device::Write(handle, bytes, n);
}

}  // namespace dm

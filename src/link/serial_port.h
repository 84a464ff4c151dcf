// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one serial port through which the program talks to the microscope.
//
// Threads: OpenPort/ClosePort run on the command thread (port search) or the window
// thread (disconnect, exits); PollPort runs on the window thread every 20 ms and never
// blocks; WritePort may be called from any thread. The handle and the open flag are
// atomics. PollPort and WritePort use the handle under a shared lock that ClosePort
// takes exclusively, so a handle is never closed (and its number reused) while another
// thread still reads or writes through it.
//
// A device that goes away (unplugged, hung up) is noticed by whichever poll or write
// meets it first: that thread closes the port and runs the loss handler, once per open.

#include <atomic>
#include <cstdint>
#include <functional>
#include <shared_mutex>

#include "link/device_port.h"
#include "link/port_table.h"
#include "link/receive_buffer.h"

namespace dm {

class SerialPort : public DevicePort {
  public:
    static constexpr int kBaudRates[] = {9600, 38400, 57600, 115200};
    static constexpr int8_t kSearchBaudIndex = 3;
    static constexpr uint32_t kPollChunkSize = 10000;
    static constexpr intptr_t kNoPort = -1;  // also INVALID_HANDLE_VALUE on Win32

    // The port table is asked afresh on every OpenPort, so that devices plugged in
    // (or virtual microscopes started) after start-up are found.
    using PortTableSource = std::function<PortTable()>;
    using LossHandler = std::function<void()>;

    explicit SerialPort(ReceiveBuffer& buffer, PortTableSource table = &PortTable::FromSystem);
    ~SerialPort() override;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens port n of the port table at the baud rate of the index, 8N1, raw, exclusive.
    // Returns false when a port is already open (buffer untouched), or when the device
    // cannot be opened or configured (buffer already cleared).
    bool OpenPort(uint8_t portNumber, int8_t baudIndex) override;
    void ClosePort() override;
    // Moves what the driver already holds (at most kPollChunkSize bytes) into the buffer.
    void PollPort();
    // -1 when no port is open or the device has gone.
    int32_t WritePort(const uint8_t* bytes, int32_t n) override;

    bool IsOpen() const override { return open_.load(std::memory_order_acquire); }
    uint64_t BytesReceived() const override { return buffer_.Received(); }
    OpenAttempt LastAttempt() const override;
    std::vector<std::string> DeviceNames() const override;
    bool DevicePresent(const std::string& device) const override;

    // Runs on the thread that noticed the loss, after the port was closed; it must not
    // block. Set before the first OpenPort.
    void SetLossHandler(LossHandler handler) { lossHandler_ = std::move(handler); }

  private:
    bool CloseHandle();
    void DeviceGone();

    ReceiveBuffer& buffer_;
    PortTableSource table_;
    LossHandler lossHandler_;
    OpenAttempt lastAttempt_;  // the opening thread's
    std::atomic<bool> open_{false};
    std::atomic<intptr_t> handle_{kNoPort};
    std::shared_mutex handleInUse_;
};

}  // namespace dm

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The platform's half of SerialPort: one raw device handle, opened and configured,
// asked for its input-queue count, read, written and closed. SerialPort keeps the
// handle, the open flag and the receive buffer; these functions keep no state.
//
// Handles are the platform's own values carried in an intptr_t: a file descriptor on
// POSIX, a HANDLE on Win32. SerialPort::kNoPort stands for "no device".

#include <cstdint>
#include <string>

#include "link/device_port.h"

namespace dm::serial_device {

// Returned by QueuedBytes, Read and Write when the device went away: a USB adapter
// unplugged, a hung-up line, the far end of a pseudo-terminal closed. Nothing will ever
// come through the handle again; it only waits to be closed.
inline constexpr int32_t kDeviceGone = -1;

// Opens the device for exclusive use, raw, 8N1 at the given bits per second.
// Returns SerialPort::kNoPort when it cannot be opened, claimed or configured, and then
// says why in `problem` (when given).
intptr_t Open(const std::string& device, int bitsPerSecond, PortProblem* problem = nullptr);

// True when the system has a device of this name now.
bool Present(const std::string& device);

// Gives up the exclusive claim and closes the handle.
void Close(intptr_t handle);

// Bytes the driver holds in its input queue (0 when it cannot tell), or kDeviceGone.
// Clears pending line errors on platforms that report them with the count.
int32_t QueuedBytes(intptr_t handle);

// Reads at most n bytes that are already queued. Returns the count read (0 on a
// passing failure), or kDeviceGone.
int32_t Read(intptr_t handle, uint8_t* dest, uint32_t n);

// One platform write of n bytes, bounded in time. Returns the count the platform
// reports as written (0 on a passing failure), or kDeviceGone.
int32_t Write(intptr_t handle, const uint8_t* bytes, int32_t n);

}  // namespace dm::serial_device

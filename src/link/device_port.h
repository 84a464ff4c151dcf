// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The serial link as the commands see it: open a port of the port table, close it,
// write frames. SerialPort is the real one; command tests put a fake in its place.

#include <cstdint>
#include <string>
#include <vector>

#include "link/frame_writer.h"

namespace dm {

// Why the last OpenPort failed, for telling the user why no microscope was found.
enum class PortProblem : uint8_t {
    kNone,              // it opened
    kNoDevice,          // no such port number, or the device is not there
    kPermissionDenied,  // the system refused (on Linux: not in the dialout group)
    kInUse,             // another program holds it
    kUnusable,          // it opened but is no serial device, or could not be configured
};

struct OpenAttempt {
    std::string device;  // the device name the port number stood for; empty when none
    PortProblem problem = PortProblem::kNoDevice;
};

class DevicePort : public FrameWriter {
  public:
    // Opens port n of the port table at the baud rate of the index.
    virtual bool OpenPort(uint8_t portNumber, int8_t baudIndex) = 0;
    // Closing with no port held does nothing.
    virtual void ClosePort() = 0;
    // The port-open flag; any thread. Cleared at once when the device goes away.
    virtual bool IsOpen() const = 0;
    // Every byte received so far, on any port: a waiting command that sees it grow knows
    // the reply is still arriving. Any thread.
    virtual uint64_t BytesReceived() const = 0;
    // What the last OpenPort found. The thread that opens.
    virtual OpenAttempt LastAttempt() const = 0;
    // The device names of the port table as it is now, in port-number order.
    virtual std::vector<std::string> DeviceNames() const = 0;
    // True when the device is there now (a configured name may outlive an unplugged
    // device). Any thread.
    virtual bool DevicePresent(const std::string& device) const = 0;
};

}  // namespace dm

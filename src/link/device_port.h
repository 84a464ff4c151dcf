#pragma once
// The serial link as the commands see it: open a port of the port table, close it,
// write frames. SerialPort is the real one; command tests put a fake in its place.

#include <cstdint>

#include "link/frame_writer.h"

namespace dm {

class DevicePort : public FrameWriter {
  public:
    // Opens port n of the port table at the baud rate of the index.
    virtual bool OpenPort(uint8_t portNumber, int8_t baudIndex) = 0;
    // Closing with no port held does nothing.
    virtual void ClosePort() = 0;
    // The port-open flag; any thread.
    virtual bool IsOpen() const = 0;
    // Every byte received so far, on any port: a waiting command that sees it grow knows
    // the reply is still arriving. Any thread.
    virtual uint64_t BytesReceived() const = 0;
};

}  // namespace dm

#pragma once
// Maps the port search's port numbers to device names.
//
// On POSIX the table lists, in order: the paths in MICROSCOPE_PORTS (separated by ':'),
// the links published by running virtual microscopes (PublishedLinksDirectory()), then
// the machine's serial devices (USB, ACM, then on-board), each group naturally sorted.
// On Windows the table lists the COM ports the system has now, in number order, as
// "\\.\COMn". Port n is the table's entry n on both; a number past the end of the
// table names no device.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dm {

class PortTable {
  public:
    // Builds the table from the environment and the file system as they are now.
    static PortTable FromSystem();
    explicit PortTable(std::vector<std::string> devices) : devices_(std::move(devices)) {}

    std::optional<std::string> DeviceFor(unsigned portNumber) const;
    const std::vector<std::string>& Devices() const { return devices_; }

    // Where a virtual microscope publishes the link to its pseudo-terminal:
    // $XDG_RUNTIME_DIR/virtual-microscope/, or /tmp/virtual-microscope-<uid>/.
    static std::string PublishedLinksDirectory();

  private:
    std::vector<std::string> devices_;
};

}  // namespace dm

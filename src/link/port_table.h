// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Maps the port search's port numbers to device names.
//
// On POSIX the table lists, in order: the paths in MICROSCOPE_PORTS (separated by ':'),
// the links published by running virtual microscopes (PublishedLinksDirectory()), then
// the machine's serial devices (USB, ACM, then on-board), each group naturally sorted.
// On Windows the table lists the COM ports the system has now, in number order, as
// "\\.\COMn". Port n is the table's entry n on both; a number past the end of the
// table names no device.
//
// A published link is listed only when its folder may be trusted and it leads to a
// pseudo-terminal (published_links.h); what was left out for that is kept with the reason.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dm {

class PortTable {
  public:
    // Builds the table from the environment and the file system as they are now.
    static PortTable FromSystem();
    explicit PortTable(std::vector<std::string> devices, std::vector<std::string> ignored = {})
        : devices_(std::move(devices)), ignored_(std::move(ignored)) {}

    std::optional<std::string> DeviceFor(unsigned portNumber) const;
    const std::vector<std::string>& Devices() const { return devices_; }
    // Why published links were left out, one sentence each for the user: a folder that
    // may not be trusted, links that lead to no pseudo-terminal. Dangling links (their
    // microscope ended) are left out without a word.
    const std::vector<std::string>& Ignored() const { return ignored_; }

    // Where a virtual microscope publishes the link to its pseudo-terminal:
    // $XDG_RUNTIME_DIR/virtual-microscope/, or /tmp/virtual-microscope-<uid>/.
    static std::string PublishedLinksDirectory();

  private:
    std::vector<std::string> devices_;
    std::vector<std::string> ignored_;
};

}  // namespace dm

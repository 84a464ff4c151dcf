// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/port_table.h"

#include <cstdlib>
#include <string>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace dm {

std::string PortTable::PublishedLinksDirectory() {
#ifdef _WIN32
    return {};
#else
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] != '\0') {
        return std::string(runtime) + "/virtual-microscope";
    }
    return "/tmp/virtual-microscope-" + std::to_string(getuid());
#endif
}

std::optional<std::string> PortTable::DeviceFor(unsigned portNumber) const {
    if (portNumber >= devices_.size()) {
        return std::nullopt;
    }
    return devices_[portNumber];
}

}  // namespace dm

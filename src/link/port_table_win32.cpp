// On Windows every serial port is named by its number (DeviceFor), so the system
// table lists nothing.

#ifdef _WIN32

#include "link/port_table.h"

namespace dm {

PortTable PortTable::FromSystem() {
    return PortTable({});
}

}  // namespace dm

#endif  // _WIN32

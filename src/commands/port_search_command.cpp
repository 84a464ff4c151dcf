// Port search: probe every port of the port table until a microscope answers.
#include "commands/command_timing.h"
#include "commands/device_commands.h"
#include "commands/message_numbers.h"
#include "link/frame.h"

namespace dm {

void DeviceCommands::PortSearch() {
    bool found = false;
    for (int n = 0; n < timing::kPortCount && !thread_.StopRequested(); ++n) {
        window_.SetProgress(n / 2);
        if (TryPort(static_cast<uint8_t>(n))) {
            found = true;
            break;
        }
    }
    if (!found) {
        if (!thread_.StopRequested()) {
            window_.ShowError(window_.Message(message::kNoMicroscope));
        }
        window_.SetProgress(0);  // the search's progress means nothing once it failed
        return;
    }
    // Only once the user has closed the box: the microscope starts talking after it.
    WriteFrame(frame::kLinkStart);
    window_.ApplyButtonSet(ButtonSet::Ready);
}

// Opens the port and probes it; the port stays open only when a microscope answered.
bool DeviceCommands::TryPort(uint8_t portNumber) {
    if (!port_.OpenPort(portNumber, timing::kSearchBaudIndex)) {
        return false;
    }
    state_.probeReply.store(false, std::memory_order_release);
    WriteFrame(frame::kProbe);
    thread_.Sleep(timing::kProbeWait);
    if (!state_.probeReply.load(std::memory_order_acquire)) {
        port_.ClosePort();
        return false;
    }
    window_.ShowInfo(window_.Message(message::kMicroscopeFound));
    window_.SetConnected(true);
    window_.SetProgress(0);
    return true;
}

}  // namespace dm

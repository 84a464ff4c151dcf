// SPDX-License-Identifier: GPL-3.0-or-later
// Port search: probe every port of the port table until a microscope answers. When none
// does, the user is told what the search met on the way: ports the system refused, ports
// another program holds, ports that opened and stayed silent.
#include <algorithm>

#include "base/message_numbers.h"
#include "commands/command_timing.h"
#include "commands/device_commands.h"
#include "link/frame.h"

namespace dm {

namespace {

// A machine may list dozens of on-board ports; the box names the first few.
constexpr std::size_t kMaxReportedPorts = 8;

int LineFor(PortProblem problem) {
    switch (problem) {
        case PortProblem::kPermissionDenied:
            return message::kPortPermissionDenied;
        case PortProblem::kInUse:
            return message::kPortInUse;
        default:
            return message::kPortSilent;
    }
}

// Only what the user can act on: a port past the end of the table, a vanished device or
// a file that is no terminal says nothing useful.
bool WorthMentioning(PortProblem problem) {
    return problem == PortProblem::kPermissionDenied || problem == PortProblem::kInUse ||
           problem == PortProblem::kNone;
}

}  // namespace

void DeviceCommands::SetReconnectCandidates(std::vector<std::string> devices) {
    std::lock_guard lock(candidatesLock_);
    reconnectCandidates_ = std::move(devices);
}

void DeviceCommands::PortSearch() {
    std::optional<std::vector<std::string>> candidates;
    {
        std::lock_guard lock(candidatesLock_);
        candidates.swap(reconnectCandidates_);
    }
    if (candidates) {
        Reconnect(*candidates);
        return;
    }
    std::vector<OpenAttempt> unanswered;
    bool found = false;
    for (int n = 0; n < timing::kPortCount && !thread_.CutShort(); ++n) {
        window_.SetProgress(n / 2);
        if (TryPort(static_cast<uint8_t>(n))) {
            found = true;
            break;
        }
        // An attempt that opened the port and got no answer says kNone.
        if (const OpenAttempt attempt = port_.LastAttempt(); WorthMentioning(attempt.problem)) {
            unanswered.push_back(attempt);
        }
    }
    if (!found) {
        if (!thread_.CutShort()) {
            window_.ShowError(SearchReport(unanswered));
        }
        window_.SetProgress(0);  // the search's progress means nothing once it failed
        return;
    }
    StartLink();
}

// Probes the devices that appeared since the microscope went away, once each; quiet
// when none of them answers.
void DeviceCommands::Reconnect(const std::vector<std::string>& candidates) {
    const std::vector<std::string> devices = port_.DeviceNames();
    for (std::size_t n = 0; n < devices.size() && n < timing::kPortCount; ++n) {
        if (thread_.CutShort()) {
            return;
        }
        if (std::find(candidates.begin(), candidates.end(), devices[n]) != candidates.end() &&
            TryPort(static_cast<uint8_t>(n))) {
            StartLink();
            return;
        }
    }
}

void DeviceCommands::SurveyPorts() {
    std::vector<PortFinding> findings;
    const std::size_t count = std::min<std::size_t>(port_.DeviceNames().size(), timing::kPortCount);
    for (std::size_t n = 0; n < count && !thread_.CutShort(); ++n) {
        const bool answered = ProbePort(static_cast<uint8_t>(n));
        const OpenAttempt attempt = port_.LastAttempt();
        findings.push_back({attempt.device, attempt.problem, answered});
        // A probe starts no link: the port closes again without a word.
        port_.ClosePort();
    }
    std::lock_guard lock(commandLineLock_);
    portFindings_ = std::move(findings);
}

std::vector<PortFinding> DeviceCommands::PortSurvey() const {
    std::lock_guard lock(commandLineLock_);
    return portFindings_;
}

// Only once the user has closed the box: the microscope starts talking after it.
void DeviceCommands::StartLink() {
    WriteFrame(frame::kLinkStart);
    window_.ApplyButtonSet(ButtonSet::Ready);
}

// Message 15, then a line per port worth mentioning, and the remedy for refused ports.
QString DeviceCommands::SearchReport(const std::vector<OpenAttempt>& unanswered) const {
    QString report = window_.Message(message::kNoMicroscope);
    if (unanswered.empty()) {
        return report;
    }
    report += QStringLiteral("\n");
    for (std::size_t i = 0; i < unanswered.size() && i < kMaxReportedPorts; ++i) {
        report += QStringLiteral("\n") + window_.Message(LineFor(unanswered[i].problem))
                                             .arg(QString::fromStdString(unanswered[i].device));
    }
    if (unanswered.size() > kMaxReportedPorts) {
        report += QStringLiteral("\n") +
                  window_.Message(message::kMorePorts).arg(unanswered.size() - kMaxReportedPorts);
    }
    const bool refused = std::any_of(unanswered.begin(), unanswered.end(), [](const auto& a) {
        return a.problem == PortProblem::kPermissionDenied;
    });
    if (refused) {
        report += QStringLiteral("\n\n") + window_.Message(message::kPermissionRemedy);
    }
    return report;
}

bool DeviceCommands::ProbePort(uint8_t portNumber) {
    if (!port_.OpenPort(portNumber, timing::kSearchBaudIndex)) {
        return false;
    }
    state_.probeReply.store(false, std::memory_order_release);
    WriteFrame(frame::kProbe);
    thread_.WaitForReply(timing::kProbeWait,
                         [this] { return state_.probeReply.load(std::memory_order_acquire); });
    if (!state_.probeReply.load(std::memory_order_acquire) || !port_.IsOpen()) {
        port_.ClosePort();
        return false;
    }
    return true;
}

// The port stays open only when a microscope answered; the user is told it was found.
bool DeviceCommands::TryPort(uint8_t portNumber) {
    if (!ProbePort(portNumber)) {
        return false;
    }
    state_.linkLost.store(false, std::memory_order_release);
    state_.connected.store(true, std::memory_order_release);
    window_.ShowInfo(window_.Message(message::kMicroscopeFound));
    window_.SetConnected(true);
    window_.SetProgress(0);
    return true;
}

}  // namespace dm

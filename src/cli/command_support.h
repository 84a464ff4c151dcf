// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the commands of the command line share: connecting, the failure that ends a
// command, reading the boxes the device commands showed, the directory.

#include <optional>
#include <vector>

#include "cli/commands.h"
#include "cli/microscope_session.h"
#include "link/device_port.h"
#include "link/frame.h"

namespace dm::cli {

// Marks the outcome failed with the reason, unless it already failed.
void Fail(Outcome& outcome, const QString& reason, int status = kExitFailed);
void MarkInterrupted(Outcome& outcome);

// What a port is, as the ports command says it: "answered", "silent", "busy",
// "permission denied", "not a serial port", "missing".
QString PortStatus(PortProblem problem, bool answered);
// The same with what it means for the user: "busy (in use by another program)".
QString ExplainedPortStatus(PortProblem problem, bool answered);

// Connects; on failure the outcome carries the search's report as its reason, or with
// --port what that device is.
bool ConnectOrFail(MicroscopeSession& session, Outcome& outcome);

// The error boxes shown since the last look, as one line; empty when there was none.
// Information boxes are dropped.
QString TakeErrors(MicroscopeSession& session);

// Reads the microscope's directory (no picture is fetched); none when the command failed
// (the outcome says why).
std::optional<std::vector<frame::DirectoryEntry>> ReadDirectory(MicroscopeSession& session,
                                                                Outcome& outcome);

// The reason a command ended when the microscope went away during it.
QString LinkLostReason();

// "%08d.jpg" of the picture number.
QString PictureFileName(uint32_t number);

}  // namespace dm::cli

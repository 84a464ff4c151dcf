// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The commands of digital-microscope-cli. Each talks to the microscope through a
// MicroscopeSession, with the frames and waits the window uses, and returns what it did:
// the exit status, the text and JSON results for stdout, the reason of a failure.
// Main thread.

#include <atomic>

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include "cli/options.h"

namespace dm::cli {

struct Outcome {
    int exitStatus = kExitDone;
    QStringList lines;          // the result for people, on stdout (unless --json)
    bool linesAreData = false;  // lines are what was asked for (shown even with --quiet),
                                // not a report of what was done
    QJsonObject json;           // the result for scripts (with --json)
    QString reason;             // one line on stderr when the status is not 0
    QStringList warnings;       // on stderr unless --quiet
};

Outcome RunPorts(const Options& options, const std::atomic<bool>& stop);
Outcome RunList(const Options& options, const std::atomic<bool>& stop);
Outcome RunDownload(const Options& options, const std::atomic<bool>& stop);
Outcome RunSnapshot(const Options& options, const std::atomic<bool>& stop);
Outcome RunUpload(const Options& options, const std::atomic<bool>& stop);
Outcome RunDelete(const Options& options, const std::atomic<bool>& stop);
Outcome RunKey(const Options& options, const std::atomic<bool>& stop);

}  // namespace dm::cli

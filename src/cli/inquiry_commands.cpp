// SPDX-License-Identifier: GPL-3.0-or-later
// ports and list: what is there, without changing anything.
#include <QJsonArray>

#include "cli/command_support.h"
#include "cli/picture_json.h"
#include "commands/command_codes.h"
#include "link/port_table.h"
#include "view/magnification.h"

namespace dm::cli {

namespace {

const char* const kDialoutHint =
    "To use serial ports, add your user to the dialout group (sudo usermod -aG dialout $USER) "
    "and log in again.";

}  // namespace

Outcome RunPorts(const Options& options, const std::atomic<bool>& stop) {
    Outcome outcome;
    MicroscopeSession session(options.port, stop);
    if (!session.Run(command::kPortSurvey)) {
        MarkInterrupted(outcome);
        return outcome;
    }
    outcome.linesAreData = true;
    QJsonArray ports;
    bool answered = false;
    bool refused = false;
    for (const PortFinding& finding : session.Commands().PortSurvey()) {
        const QString device = QString::fromStdString(finding.device);
        const QString status = PortStatus(finding.problem, finding.answered);
        answered = answered || finding.answered;
        refused = refused || finding.problem == PortProblem::kPermissionDenied;
        outcome.lines << device + QStringLiteral("\t") +
                             ExplainedPortStatus(finding.problem, finding.answered);
        ports.append(
            QJsonObject{{QStringLiteral("device"), device}, {QStringLiteral("status"), status}});
    }
    outcome.json.insert(QStringLiteral("ports"), ports);
    if (refused) {
        outcome.warnings << QString::fromLatin1(kDialoutHint);
    }
    // Published links the search would not trust, so that a microscope not listed is
    // explained (an explicit --port searches no published links).
    if (options.port.empty()) {
        const PortTable table = PortTable::FromSystem();
        for (const std::string& ignored : table.Ignored()) {
            outcome.warnings << QString::fromStdString(ignored);
        }
    }
    if (!answered) {
        Fail(outcome, QStringLiteral("No microscope answered on any port."));
    }
    return outcome;
}

Outcome RunList(const Options& options, const std::atomic<bool>& stop) {
    Outcome outcome;
    MicroscopeSession session(options.port, stop);
    if (!ConnectOrFail(session, outcome)) {
        return outcome;
    }
    const auto entries = ReadDirectory(session, outcome);
    if (!entries) {
        return outcome;
    }
    outcome.linesAreData = true;
    QJsonArray pictures;
    for (const frame::DirectoryEntry& entry : *entries) {
        const uint32_t number = frame::PictureNumber(entry.info);
        const uint8_t zoomCode = frame::ZoomCode(entry.info);
        const auto magnification = ZoomCodeToMagnification(zoomCode);
        const QString shown =
            magnification ? QStringLiteral("%1X").arg(*magnification) : QStringLiteral("-");
        outcome.lines << QStringLiteral("%1\t%2\t%3").arg(number).arg(entry.size).arg(shown);
        // Where download without --out would write it.
        pictures.append(PictureJson(number, PictureFileName(number), entry.size, zoomCode));
    }
    outcome.json.insert(QStringLiteral("pictures"), pictures);
    return outcome;
}

}  // namespace dm::cli

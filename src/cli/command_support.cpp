// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/command_support.h"

#include "base/message_numbers.h"
#include "commands/command_codes.h"

namespace dm::cli {

namespace {
constexpr int kNameDigits = 8;
const char* const kLinkLostText =
    "The microscope went away: the cable was pulled or it was switched off.";
}  // namespace

void Fail(Outcome& outcome, const QString& reason, int status) {
    if (outcome.exitStatus != kExitDone) {
        return;
    }
    outcome.exitStatus = status;
    outcome.reason = reason;
}

void MarkInterrupted(Outcome& outcome) {
    outcome.exitStatus = kExitInterrupted;
    outcome.reason = QStringLiteral("interrupted");
}

QString TakeErrors(MicroscopeSession& session) {
    QStringList errors;
    for (const ConsoleWindow::Box& box : session.Window().TakeBoxes()) {
        if (box.error) {
            errors << box.text.simplified();
        }
    }
    return errors.join(QStringLiteral(" "));
}

QString PortStatus(PortProblem problem, bool answered) {
    if (answered) {
        return QStringLiteral("answered");
    }
    switch (problem) {
        case PortProblem::kNone:
            return QStringLiteral("silent");
        case PortProblem::kInUse:
            return QStringLiteral("busy");
        case PortProblem::kPermissionDenied:
            return QStringLiteral("permission denied");
        case PortProblem::kUnusable:
            return QStringLiteral("not a serial port");
        case PortProblem::kNoDevice:
            break;
    }
    return QStringLiteral("missing");
}

QString ExplainedPortStatus(PortProblem problem, bool answered) {
    const QString status = PortStatus(problem, answered);
    if (answered) {
        return status;
    }
    switch (problem) {
        case PortProblem::kNone:
            return status + QStringLiteral(" (opened, no microscope answered)");
        case PortProblem::kInUse:
            return status + QStringLiteral(" (in use by another program)");
        case PortProblem::kNoDevice:
            return status + QStringLiteral(" (no such device)");
        case PortProblem::kPermissionDenied:
        case PortProblem::kUnusable:
            break;
    }
    return status;
}

bool ConnectOrFail(MicroscopeSession& session, Outcome& outcome) {
    if (session.Connect()) {
        TakeErrors(session);  // "Microscope found." says nothing a script needs
        return true;
    }
    if (session.Stopped()) {
        MarkInterrupted(outcome);
        return false;
    }
    const QString report = TakeErrors(session);
    // The one device named: what a probe of it meets says more than the search's report.
    if (!session.PortPath().empty() && session.Run(command::kPortSurvey)) {
        const std::vector<PortFinding> findings = session.Commands().PortSurvey();
        if (!findings.empty()) {
            Fail(outcome, QStringLiteral("No microscope on %1: %2.")
                              .arg(QString::fromStdString(session.PortPath()),
                                   ExplainedPortStatus(findings.front().problem, false)));
            return false;
        }
    }
    Fail(outcome,
         report.isEmpty() ? ConsoleWindow::EnglishMessage(message::kNoMicroscope) : report);
    return false;
}

std::optional<std::vector<frame::DirectoryEntry>> ReadDirectory(MicroscopeSession& session,
                                                                Outcome& outcome) {
    session.Commands().SetDownloadSelection(std::vector<uint32_t>{});
    const bool finished = session.Run(command::kDownloadAll);
    session.Commands().SetDownloadSelection(std::nullopt);
    if (!finished) {
        MarkInterrupted(outcome);
        return std::nullopt;
    }
    if (const QString errors = TakeErrors(session); !errors.isEmpty()) {
        Fail(outcome, errors);
        return std::nullopt;
    }
    if (session.LinkLost()) {
        Fail(outcome, LinkLostReason());
        return std::nullopt;
    }
    std::vector<frame::DirectoryEntry> entries;
    const PictureDirectory& directory = session.State().directory;
    if (directory.Announced() > directory.Count()) {
        outcome.warnings
            << QStringLiteral("The microscope holds %1 pictures; only the first %2 can be listed.")
                   .arg(directory.Announced())
                   .arg(directory.Count());
    }
    entries.reserve(directory.Count());
    for (int i = 0; i < directory.Count(); ++i) {
        entries.push_back(directory.Entry(i));
    }
    return entries;
}

QString LinkLostReason() {
    return QString::fromLatin1(kLinkLostText);
}

QString PictureFileName(uint32_t number) {
    return QStringLiteral("%1.jpg").arg(number, kNameDigits, 10, QLatin1Char('0'));
}

}  // namespace dm::cli

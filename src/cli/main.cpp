// SPDX-License-Identifier: GPL-3.0-or-later
// digital-microscope-cli: the microscope from scripts. One command per run; results on
// stdout (text, or one JSON document with --json), messages on stderr.
#include <QCoreApplication>
#include <QJsonDocument>
#include <cstdio>
#include <iostream>
#include <map>

#include "base/thread_sanitizer_defaults.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/options.h"
#include "view/calibration_book.h"

namespace {

using dm::cli::Options;
using dm::cli::Outcome;
using Runner = Outcome (*)(const Options&, const std::atomic<bool>&);

const std::map<std::string, Runner> kCommands = {
    {"ports", &dm::cli::RunPorts},       {"list", &dm::cli::RunList},
    {"download", &dm::cli::RunDownload}, {"snapshot", &dm::cli::RunSnapshot},
    {"upload", &dm::cli::RunUpload},     {"delete", &dm::cli::RunDelete},
    {"key", &dm::cli::RunKey},
};
const char* const kProgramName = "digital-microscope-cli";

void Report(const Options& options, const Outcome& outcome) {
    if (options.json && !outcome.json.isEmpty()) {
        std::cout << QJsonDocument(outcome.json).toJson(QJsonDocument::Indented).toStdString();
    } else if (!options.quiet || outcome.linesAreData) {
        for (const QString& line : outcome.lines) {
            std::cout << line.toStdString() << "\n";
        }
    }
    std::cout.flush();
    if (!options.quiet) {
        for (const QString& warning : outcome.warnings) {
            std::cerr << kProgramName << ": " << warning.toStdString() << "\n";
        }
    }
    if (outcome.exitStatus != dm::cli::kExitDone) {
        std::cerr << kProgramName << ": " << outcome.reason.toStdString() << "\n";
    }
}

}  // namespace

int main(int argc, char** argv) {
    const dm::cli::ParseResult parsed = dm::cli::ParseCommandLine(argc, argv);
    if (!parsed.options) {
        return parsed.exitStatus;
    }
    const Options& options = *parsed.options;
    // QtCore only: threads, files and JSON; no display is needed.
    QCoreApplication application(argc, argv);
    // Every picture the program writes is scaled by the user's calibrations.
    dm::CalibrationBook::Shared().Open(dm::UserCalibrationFile());
    const std::atomic<bool>& stop = dm::cli::InstallInterruptHandlers();
    const Outcome outcome = kCommands.at(options.command)(options, stop);
    Report(options, outcome);
    return outcome.exitStatus;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// delete and key: commands that change the microscope's state.
#include <QStringList>
#include <cstdio>
#include <iostream>
#include <string>

#include "cli/command_support.h"
#include "cli/interrupt.h"
#include "cli/terminal.h"
#include "commands/command_codes.h"

namespace dm::cli {

namespace {

QString DeletionText(const Options& options) {
    if (options.all) {
        return QStringLiteral("every picture");
    }
    QStringList numbers;
    for (const uint32_t number : options.numbers) {
        numbers << QString::number(number);
    }
    return QStringLiteral("picture %1").arg(numbers.join(QStringLiteral(", ")));
}

// On a terminal the user is asked; elsewhere only --yes deletes.
bool DeletionConfirmed(const Options& options, Outcome& outcome) {
    if (options.yes) {
        return true;
    }
    if (!StdinIsTerminal()) {
        Fail(outcome, QStringLiteral("Not deleting without --yes: no terminal to ask on."),
             kExitUsage);
        return false;
    }
    std::string answer;
    {
        const DefaultInterrupts untilAnswered;
        std::cerr << "Delete " << DeletionText(options).toStdString()
                  << " from the microscope? This cannot be undone. [y/N] " << std::flush;
        std::getline(std::cin, answer);
    }
    if (answer == "y" || answer == "Y" || answer == "yes") {
        return true;
    }
    Fail(outcome, QStringLiteral("Nothing deleted."));
    return false;
}

int RowOf(MicroscopeSession& session, uint32_t number) {
    const std::vector<PictureRow> rows = session.Window().Rows();
    for (std::size_t row = 0; row < rows.size(); ++row) {
        if (rows[row].name == PictureFileName(number)) {
            return static_cast<int>(row);
        }
    }
    return -1;
}

// Every number is checked before the first is deleted: a typo deletes nothing.
void DeleteNumbers(MicroscopeSession& session, const Options& options, Outcome& outcome) {
    if (!ReadDirectory(session, outcome)) {
        return;
    }
    QStringList unknown;
    for (const uint32_t number : options.numbers) {
        if (RowOf(session, number) < 0) {
            unknown << QString::number(number);
        }
    }
    if (!unknown.isEmpty()) {
        Fail(outcome, QStringLiteral("The microscope has no picture %1. Nothing deleted.")
                          .arg(unknown.join(QStringLiteral(", "))));
        return;
    }
    for (const uint32_t number : options.numbers) {
        const int row = RowOf(session, number);
        if (row < 0) {
            continue;  // named twice
        }
        session.Window().SelectRow(row);
        if (!session.Run(command::kDeleteSelected)) {
            MarkInterrupted(outcome);
            return;
        }
        if (const QString errors = TakeErrors(session); !errors.isEmpty() || session.LinkLost()) {
            Fail(outcome, errors.isEmpty() ? LinkLostReason() : errors);
            return;
        }
        outcome.lines << QStringLiteral("deleted %1").arg(number);
    }
}

}  // namespace

Outcome RunDelete(const Options& options, const std::atomic<bool>& stop) {
    Outcome outcome;
    if (!DeletionConfirmed(options, outcome)) {
        return outcome;
    }
    MicroscopeSession session(options.port, stop);
    if (!ConnectOrFail(session, outcome)) {
        return outcome;
    }
    if (!options.all) {
        DeleteNumbers(session, options, outcome);
        return outcome;
    }
    if (!session.Run(command::kDeleteAll)) {
        MarkInterrupted(outcome);
        return outcome;
    }
    if (const QString errors = TakeErrors(session); !errors.isEmpty() || session.LinkLost()) {
        Fail(outcome, errors.isEmpty() ? LinkLostReason() : errors);
        return outcome;
    }
    outcome.lines << QStringLiteral("deleted every picture");
    return outcome;
}

Outcome RunKey(const Options& options, const std::atomic<bool>& stop) {
    Outcome outcome;
    MicroscopeSession session(options.port, stop);
    if (!ConnectOrFail(session, outcome)) {
        return outcome;
    }
    if (!session.Run(command::KeyCode(options.key))) {
        MarkInterrupted(outcome);
        return outcome;
    }
    if (const QString errors = TakeErrors(session); !errors.isEmpty() || session.LinkLost()) {
        Fail(outcome, errors.isEmpty() ? LinkLostReason() : errors);
    }
    return outcome;
}

}  // namespace dm::cli

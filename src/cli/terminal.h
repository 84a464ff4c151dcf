// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whether the standard streams are terminals: progress bars and questions are for
// people, never for pipes and logs.

namespace dm::cli {

bool StdinIsTerminal();
bool StderrIsTerminal();

}  // namespace dm::cli

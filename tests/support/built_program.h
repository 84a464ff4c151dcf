// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the programs of this build are, for tests that run them as child processes: the
// build folder (DM_BINARY_DIR, else the folder above the running test program, which
// lives in tests/) joined with the program's name.

#include <string>

namespace dm::test {

std::string BuiltProgram(const std::string& name);

}  // namespace dm::test

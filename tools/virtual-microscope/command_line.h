// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The virtual-microscope executable's command line.

#include <string>
#include <vector>

#include "virtual-microscope/options.h"

namespace dm::vm {

struct CommandLine {
    Options options;
    bool help = false;
    bool version = false;
    std::string error;  // non-empty: the arguments were not understood
};

// args without the program name.
CommandLine ParseCommandLine(const std::vector<std::string>& args);
std::string UsageText();

}  // namespace dm::vm

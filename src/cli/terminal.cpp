// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/terminal.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace dm::cli {

#ifdef _WIN32
bool StdinIsTerminal() {
    return _isatty(_fileno(stdin)) != 0;
}
bool StderrIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}
#else
bool StdinIsTerminal() {
    return isatty(fileno(stdin)) != 0;
}
bool StderrIsTerminal() {
    return isatty(fileno(stderr)) != 0;
}
#endif

}  // namespace dm::cli

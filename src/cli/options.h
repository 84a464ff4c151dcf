// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The command line of digital-microscope-cli, parsed with CLI11.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dm::cli {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;         // the microscope or a transfer failed
inline constexpr int kExitUsage = 2;          // bad usage
inline constexpr int kExitInterrupted = 130;  // Ctrl+C, as a shell reports SIGINT

struct Options {
    std::string command;  // ports, list, download, snapshot, upload, delete, key
    std::string port;     // empty: search the port table
    bool json = false;
    bool quiet = false;

    std::vector<uint32_t> numbers;  // download, delete
    std::string out;                // download: folder; snapshot: file or series base
    bool force = false;             // download, snapshot: replace existing files
    std::optional<std::chrono::milliseconds> every;  // snapshot series
    int count = 1;
    std::string file;  // upload
    bool all = false;  // delete
    bool yes = false;
    int key = 0;  // 1..8: up, left, centre, right, down, zoom-out, lock, zoom-in
};

struct ParseResult {
    std::optional<Options> options;  // none: the program ends with exitStatus
    int exitStatus = kExitDone;
};

// Help, version and usage errors are written here (stdout or stderr).
ParseResult ParseCommandLine(int argc, char** argv);

}  // namespace dm::cli

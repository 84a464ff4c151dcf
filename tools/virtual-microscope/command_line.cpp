// SPDX-License-Identifier: GPL-3.0-or-later
#include "virtual-microscope/command_line.h"

#include <charconv>
#include <limits>
#include <optional>

namespace dm::vm {

namespace {

constexpr int kMaxProbePeriodMs = 3600 * 1000;
constexpr int kMaxEveryNth = 1000000;

std::optional<int> ParseCount(const std::string& text, int low, int high) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [at, failure] = std::from_chars(text.data(), end, value);
    if (failure != std::errc() || at != end || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::string UsageText() {
    return "usage: virtual-microscope [options]\n"
           "\n"
           "A microscope on a pseudo-terminal. Prints \"virtual-microscope: <slave path>\" on\n"
           "its first line, publishes a link to that path where the program's port search\n"
           "looks, and answers every request until SIGINT or SIGTERM.\n"
           "\n"
           "SIGUSR1 unplugs it: the pseudo-terminal closes at once, whatever it is doing, as\n"
           "if the cable had been pulled (the program sees a hang-up), the link is removed\n"
           "and the microscope exits.\n"
           "\n"
           "  --pictures N           pictures in memory at start, numbered 1..N (default 4)\n"
           "  --max-pictures N       memory limit; an upload beyond it is answered with\n"
           "                         memory full (default 64)\n"
           "  --log FILE             wire log: every received frame, one a line, in hex\n"
           "  --probe-every MS       send a probe of its own every MS milliseconds\n"
           "\n"
           "Faults:\n"
           "  --garbage              send bytes that begin no frame before every frame\n"
           "  --stall-payload        picture frames stop halfway; the live stream stops too\n"
           "  --bad-jpeg             picture frames carry JPEG data that does not decode\n"
           "  --oversized-length     picture frames announce 256 bytes more than they carry\n"
           "  --directory-entries N  the directory lists N entries (more than 64 allowed);\n"
           "                         entries beyond the memory are made up\n"
           "  --vanish-mid-transfer  the first picture frame stops halfway and the\n"
           "                         pseudo-terminal closes; the microscope then exits\n"
           "  --throttle             send at the byte rate of a real 115200-baud link\n"
           "  --drop-live-byte N     every Nth live frame loses one byte on the way\n"
           "  --stray-burst N        every Nth live frame is followed by 24 bytes that\n"
           "                         begin no frame\n"
           "\n"
           "  -h, --help             this text\n"
           "  --version              the version, then exit\n";
}

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine result;
    Options& options = result.options;
    Faults& faults = options.faults;
    for (std::size_t i = 0; i < args.size() && result.error.empty(); ++i) {
        const std::string& name = args[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size()) {
                result.error = name + " needs a value";
                return std::nullopt;
            }
            return args[++i];
        };
        auto count = [&](int low, int high, int& into) {
            const auto text = value();
            if (!text) {
                return;
            }
            if (const auto number = ParseCount(*text, low, high)) {
                into = *number;
            } else {
                result.error = name + " wants a whole number from " + std::to_string(low) + " to " +
                               std::to_string(high) + ", not \"" + *text + "\"";
            }
        };
        if (name == "-h" || name == "--help") {
            result.help = true;
        } else if (name == "--version") {
            result.version = true;
        } else if (name == "--pictures") {
            count(0, kMaxDirectoryEntries, options.pictures);
        } else if (name == "--max-pictures") {
            count(0, kMaxDirectoryEntries, options.maxPictures);
        } else if (name == "--log") {
            if (const auto path = value()) {
                options.logPath = *path;
            }
        } else if (name == "--probe-every") {
            count(1, kMaxProbePeriodMs, options.probeEveryMs);
        } else if (name == "--garbage") {
            faults.garbageBetweenFrames = true;
        } else if (name == "--stall-payload") {
            faults.stallPayload = true;
        } else if (name == "--bad-jpeg") {
            faults.undecodableJpeg = true;
        } else if (name == "--oversized-length") {
            faults.oversizedLength = true;
        } else if (name == "--directory-entries") {
            count(0, kMaxDirectoryEntries, faults.directoryEntries);
        } else if (name == "--vanish-mid-transfer") {
            faults.vanishMidTransfer = true;
        } else if (name == "--throttle") {
            faults.throttle = true;
        } else if (name == "--drop-live-byte") {
            count(1, kMaxEveryNth, faults.dropLiveByteEvery);
        } else if (name == "--stray-burst") {
            count(1, kMaxEveryNth, faults.strayBurstEvery);
        } else {
            result.error = "unknown option " + name;
        }
    }
    if (result.error.empty() && options.pictures > options.maxPictures) {
        result.error = "--pictures " + std::to_string(options.pictures) +
                       " does not fit a memory of --max-pictures " +
                       std::to_string(options.maxPictures);
    }
    return result;
}

}  // namespace dm::vm

// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/options.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <map>

namespace dm::cli {

namespace {

const char* const kProgramName = "digital-microscope-cli";
const char* const kUsageLine =
    "usage: digital-microscope-cli [--port PATH] [--json] [--quiet] "
    "ports|list|download|snapshot|upload|delete|key ...";
constexpr int kFirstPictureNumber = 1;
constexpr int kLastPictureNumber = 0xFFFFFF;  // 24 bits of the info word
constexpr int kMaxSeriesCount = 1000000;

const std::map<std::string, int> kKeys = {{"up", 1},    {"left", 2},   {"centre", 3},
                                          {"right", 4}, {"down", 5},   {"zoom-out", 6},
                                          {"lock", 7},  {"zoom-in", 8}};

// "500ms", "10s", "5m", "1h": the unit is required, so a bare "10" is never guessed at.
const std::map<std::string, double> kDurationUnits = {
    {"ms", 1.0}, {"s", 1000.0}, {"m", 60000.0}, {"h", 3600000.0}};
constexpr auto kDurationParsing = static_cast<CLI::AsNumberWithUnit::Options>(
    CLI::AsNumberWithUnit::CASE_SENSITIVE | CLI::AsNumberWithUnit::UNIT_REQUIRED);

constexpr int64_t kShortestInterval = 1;  // ms
const char* const kCommonOptions =
    "Common options (before or after the command): --port PATH, --json, --quiet; see "
    "digital-microscope-cli --help.";

void AddPictureNumbers(CLI::App& command, Options& options, const char* what) {
    command.add_option("NUMBER", options.numbers, what)->type_name("NUMBER");
}

// The limits a script may run into, said in its own terms rather than the parser's.
std::optional<std::string> RangeError(const Options& options, const CLI::Option& every,
                                      double everyMs) {
    for (const uint32_t number : options.numbers) {
        if (number < static_cast<uint32_t>(kFirstPictureNumber) ||
            number > static_cast<uint32_t>(kLastPictureNumber)) {
            return "picture numbers must be between " + std::to_string(kFirstPictureNumber) +
                   " and " + std::to_string(kLastPictureNumber);
        }
    }
    if (every.count() > 0 && everyMs < static_cast<double>(kShortestInterval)) {
        return "--every must be at least " + std::to_string(kShortestInterval) + "ms";
    }
    if (options.count < 1 || options.count > kMaxSeriesCount) {
        return "--count must be between 1 and " + std::to_string(kMaxSeriesCount);
    }
    return std::nullopt;
}

int UsageError(const std::string& text) {
    std::cerr << kProgramName << ": " << text << "\n" << kUsageLine << "\n";
    return kExitUsage;
}

}  // namespace

ParseResult ParseCommandLine(int argc, char** argv) {
    Options options;
    CLI::App app("Drives a digital microscope on a serial port from scripts.", kProgramName);
    app.set_version_flag("--version", std::string(kProgramName) + " " + DM_VERSION);
    app.require_subcommand(1);
    app.fallthrough();
    app.add_option("--port", options.port, "Use this serial device instead of searching the ports")
        ->type_name("PATH");
    app.add_flag("--json", options.json, "Write one JSON document on stdout");
    app.add_flag("--quiet", options.quiet,
                 "Only errors and the answer asked for: no progress, no report");

    app.add_subcommand("ports", "List the candidate ports and what a probe found on each");
    app.add_subcommand("list", "List the pictures in the microscope's memory");

    CLI::App* download =
        app.add_subcommand("download", "Save pictures from the microscope as files");
    AddPictureNumbers(*download, options, "Pictures to save (default: all)");
    download
        ->add_option("--out", options.out,
                     "Folder to save into, made when missing (default: the current one)")
        ->type_name("FOLDER");
    download->add_flag("--force", options.force, "Replace files that already exist");

    CLI::App* snapshot = app.add_subcommand("snapshot", "Take a snapshot, or a time-lapse series");
    snapshot
        ->add_option("--out", options.out,
                     "File to write (its folder is made), a folder ending in /, or the base "
                     "name of a series")
        ->type_name("FILE");
    snapshot->add_flag("--force", options.force,
                       "Replace a file that exists (default: take the next free number)");
    double everyMs = 0;
    CLI::Option* every =
        snapshot->add_option("--every", everyMs, "Interval of a series: 500ms, 10s, 5m, 1h")
            ->transform(CLI::AsNumberWithUnit(kDurationUnits, kDurationParsing, "UNIT")
                            .description(""))  // the help says DURATION, not the parser's types
            ->type_name("DURATION");
    snapshot->add_option("--count", options.count, "Number of shots in the series")
        ->type_name("N")
        ->needs(every);
    every->needs("--count");

    CLI::App* upload = app.add_subcommand("upload", "Send a JPEG or BMP picture to the microscope");
    upload->add_option("FILE", options.file, "The picture")->type_name("FILE")->required();

    CLI::App* remove = app.add_subcommand("delete", "Delete pictures from the microscope");
    AddPictureNumbers(*remove, options, "Pictures to delete");
    CLI::Option* all = remove->add_flag("--all", options.all, "Delete every picture");
    remove->add_flag("--yes", options.yes, "Do not ask");
    remove->get_option("NUMBER")->excludes(all);

    CLI::App* key = app.add_subcommand("key", "Press one of the microscope's eight keys");
    std::string keyName;
    key->add_option("KEY", keyName, "up, left, centre, right, down, zoom-out, lock or zoom-in")
        ->type_name("KEY")
        ->required()
        ->check(CLI::IsMember(kKeys));
    for (CLI::App* command : app.get_subcommands([](CLI::App*) { return true; })) {
        command->footer(kCommonOptions);
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {  // --help, --version
        app.exit(e);
        return {std::nullopt, kExitDone};
    } catch (const CLI::ParseError& e) {
        return {std::nullopt, UsageError(e.what())};
    }
    if (remove->parsed() && !options.all && options.numbers.empty()) {
        return {std::nullopt, UsageError("delete needs picture numbers or --all")};
    }
    if (const auto error = RangeError(options, *every, everyMs)) {
        return {std::nullopt, UsageError(*error)};
    }
    options.command = app.get_subcommands().front()->get_name();
    if (every->count() > 0) {
        options.every = std::chrono::milliseconds(static_cast<int64_t>(everyMs));
    }
    if (key->parsed()) {
        options.key = kKeys.at(keyName);
    }
    return {options, kExitDone};
}

}  // namespace dm::cli

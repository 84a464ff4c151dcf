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

void AddPictureNumbers(CLI::App& command, Options& options, const char* what) {
    command.add_option("NUMBER", options.numbers, what)
        ->check(CLI::Range(kFirstPictureNumber, kLastPictureNumber));
}

}  // namespace

ParseResult ParseCommandLine(int argc, char** argv) {
    Options options;
    CLI::App app("Drives a digital microscope on a serial port from scripts.", kProgramName);
    app.set_version_flag("--version", std::string(kProgramName) + " " + DM_VERSION);
    app.require_subcommand(1);
    app.fallthrough();
    app.add_option("--port", options.port, "Use this serial device instead of searching the ports");
    app.add_flag("--json", options.json, "Write one JSON document on stdout");
    app.add_flag("--quiet", options.quiet,
                 "Only errors and the answer asked for: no progress, no report");

    app.add_subcommand("ports", "List the candidate ports and what a probe found on each");
    app.add_subcommand("list", "List the pictures in the microscope's memory");

    CLI::App* download =
        app.add_subcommand("download", "Save pictures from the microscope as files");
    AddPictureNumbers(*download, options, "Pictures to save (default: all)");
    download->add_option("--out", options.out, "Folder to save into (default: the current one)");
    download->add_flag("--force", options.force, "Replace files that already exist");

    CLI::App* snapshot = app.add_subcommand("snapshot", "Take a snapshot, or a time-lapse series");
    snapshot->add_option("--out", options.out, "File to write, or the base name of a series");
    double everyMs = 0;
    CLI::Option* every =
        snapshot->add_option("--every", everyMs, "Interval of a series: 500ms, 10s, 5m, 1h")
            ->transform(CLI::AsNumberWithUnit(kDurationUnits, kDurationParsing, "UNIT"))
            ->check(CLI::PositiveNumber)
            ->type_name("DURATION");
    snapshot->add_option("--count", options.count, "Number of shots in the series")
        ->check(CLI::Range(1, kMaxSeriesCount))
        ->needs(every);
    every->needs("--count");

    CLI::App* upload = app.add_subcommand("upload", "Send a JPEG or BMP picture to the microscope");
    upload->add_option("FILE", options.file, "The picture")->required();

    CLI::App* remove = app.add_subcommand("delete", "Delete pictures from the microscope");
    AddPictureNumbers(*remove, options, "Pictures to delete");
    CLI::Option* all = remove->add_flag("--all", options.all, "Delete every picture");
    remove->add_flag("--yes", options.yes, "Do not ask");
    remove->get_option("NUMBER")->excludes(all);

    CLI::App* key = app.add_subcommand("key", "Press one of the microscope's eight keys");
    std::string keyName;
    key->add_option("KEY", keyName, "up, left, centre, right, down, zoom-out, lock or zoom-in")
        ->required()
        ->check(CLI::IsMember(kKeys));

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {  // --help, --version
        app.exit(e);
        return {std::nullopt, kExitDone};
    } catch (const CLI::ParseError& e) {
        std::cerr << kProgramName << ": " << e.what() << "\n" << kUsageLine << "\n";
        return {std::nullopt, kExitUsage};
    }
    if (remove->parsed() && !options.all && options.numbers.empty()) {
        std::cerr << kProgramName << ": delete needs picture numbers or --all\n"
                  << kUsageLine << "\n";
        return {std::nullopt, kExitUsage};
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

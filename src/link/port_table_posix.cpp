// SPDX-License-Identifier: GPL-3.0-or-later
// The port table on POSIX: configured paths, published virtual microscopes, then the
// machine's serial devices.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "link/port_table.h"
#include "link/published_links.h"

namespace dm {
namespace {

namespace fs = std::filesystem;

constexpr char kPortsVariable[] = "MICROSCOPE_PORTS";
constexpr char kPortsSeparator = ':';
constexpr char kDeviceDirectory[] = "/dev";
// USB adapters first, then modems and boards that talk CDC-ACM, then on-board ports.
constexpr std::string_view kDeviceGroups[] = {"ttyUSB", "ttyACM", "ttyS"};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

size_t DigitRunEnd(std::string_view text, size_t from) {
    while (from < text.size() && IsDigit(text[from])) {
        ++from;
    }
    return from;
}

std::string_view WithoutLeadingZeros(std::string_view digits) {
    const size_t first = digits.find_first_not_of('0');
    return first == std::string_view::npos ? std::string_view{} : digits.substr(first);
}

// Digit runs compare by their value, so ttyUSB2 comes before ttyUSB10. Names that are
// equal that way ("a07", "a7") fall back to plain order, which keeps the order strict.
bool NaturallyBefore(std::string_view a, std::string_view b) {
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            const size_t endA = DigitRunEnd(a, i);
            const size_t endB = DigitRunEnd(b, j);
            const std::string_view numberA = WithoutLeadingZeros(a.substr(i, endA - i));
            const std::string_view numberB = WithoutLeadingZeros(b.substr(j, endB - j));
            if (numberA.size() != numberB.size()) {
                return numberA.size() < numberB.size();
            }
            if (numberA != numberB) {
                return numberA < numberB;
            }
            i = endA;
            j = endB;
        } else if (a[i] != b[j]) {
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        } else {
            ++i;
            ++j;
        }
    }
    const bool aEnded = i == a.size();
    const bool bEnded = j == b.size();
    if (aEnded != bEnded) {
        return aEnded;
    }
    return a < b;
}

void SortNaturally(std::vector<std::string>& paths) {
    std::sort(paths.begin(), paths.end(),
              [](const std::string& a, const std::string& b) { return NaturallyBefore(a, b); });
}

std::vector<std::string> ConfiguredPorts() {
    std::vector<std::string> paths;
    const char* configured = std::getenv(kPortsVariable);
    if (configured == nullptr) {
        return paths;
    }
    std::string_view rest = configured;
    while (!rest.empty()) {
        const size_t end = std::min(rest.find(kPortsSeparator), rest.size());
        if (end > 0) {
            paths.emplace_back(rest.substr(0, end));
        }
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    return paths;
}

// Only from a folder that may be trusted, and only links that lead to a pseudo-terminal;
// links whose microscope has gone (dangling) are skipped without a word.
std::vector<std::string> PublishedLinks(std::vector<std::string>& ignored) {
    std::vector<std::string> paths;
    const std::string folder = PortTable::PublishedLinksDirectory();
    if (std::string problem = published_links::FolderProblem(folder); !problem.empty()) {
        ignored.push_back(std::move(problem) + "; the links in it are ignored");
        return paths;
    }
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::string reason;
        switch (published_links::Follow(it->path().string(), &reason)) {
            case published_links::LinkTarget::kPseudoTerminal:
                paths.push_back(it->path().string());
                break;
            case published_links::LinkTarget::kOther:
                ignored.push_back(std::move(reason) + "; ignored");
                break;
            case published_links::LinkTarget::kGone:
                break;
        }
    }
    SortNaturally(paths);
    return paths;
}

// The devices named prefix + number, e.g. ttyUSB0.
std::vector<std::string> SerialDevices(std::string_view prefix) {
    std::vector<std::string> paths;
    std::error_code error;
    for (fs::directory_iterator it(kDeviceDirectory, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        const std::string_view view = name;
        if (view.size() > prefix.size() && view.starts_with(prefix) &&
            DigitRunEnd(view, prefix.size()) == view.size()) {
            paths.push_back(it->path().string());
        }
    }
    SortNaturally(paths);
    return paths;
}

void AppendAll(std::vector<std::string>& to, std::vector<std::string> from) {
    to.insert(to.end(), std::make_move_iterator(from.begin()), std::make_move_iterator(from.end()));
}

}  // namespace

PortTable PortTable::FromSystem() {
    std::vector<std::string> ignored;
    std::vector<std::string> devices = ConfiguredPorts();
    AppendAll(devices, PublishedLinks(ignored));
    for (const std::string_view group : kDeviceGroups) {
        AppendAll(devices, SerialDevices(group));
    }
    return PortTable(std::move(devices), std::move(ignored));
}

}  // namespace dm

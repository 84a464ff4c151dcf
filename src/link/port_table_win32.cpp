// SPDX-License-Identifier: GPL-3.0-or-later
// The port table on Windows: the COM ports the system has now, in number order, named
// for CreateFile ("\\.\COM10" only opens with the device prefix).

#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "link/port_table.h"

namespace dm {
namespace {

constexpr std::string_view kComPrefix = "COM";
constexpr char kDevicePrefix[] = "\\\\.\\";
// The name list of all DOS devices is a few kilobytes; it grows until the list fits.
constexpr DWORD kInitialNameListSize = 16384;
constexpr DWORD kMaxNameListSize = 1 << 24;

// Every DOS device name the system defines now ("C:", "NUL", "COM3", ...), each ended
// by a zero.
std::vector<char> DosDeviceNames() {
    std::vector<char> names(kInitialNameListSize);
    while (names.size() <= kMaxNameListSize) {
        const DWORD used = QueryDosDeviceA(nullptr, names.data(), static_cast<DWORD>(names.size()));
        if (used != 0) {
            names.resize(used);
            return names;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            break;
        }
        names.resize(names.size() * 2);
    }
    return {};
}

// The number of "COM7", or 0 for any other name (there is no COM0).
unsigned ComNumber(std::string_view name) {
    if (name.size() <= kComPrefix.size() || !name.starts_with(kComPrefix)) {
        return 0;
    }
    unsigned number = 0;
    for (const char c : name.substr(kComPrefix.size())) {
        if (c < '0' || c > '9' || number > MAXWORD) {
            return 0;
        }
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    return number;
}

// The numbers of the COM ports the system defines now, ascending.
std::vector<unsigned> ComPortNumbers() {
    std::vector<unsigned> numbers;
    const std::vector<char> names = DosDeviceNames();
    for (std::size_t at = 0; at < names.size() && names[at] != '\0';) {
        const std::string_view name(names.data() + at);
        if (const unsigned number = ComNumber(name); number != 0) {
            numbers.push_back(number);
        }
        at += name.size() + 1;
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}

}  // namespace

PortTable PortTable::FromSystem() {
    std::vector<std::string> devices;
    for (const unsigned number : ComPortNumbers()) {
        devices.push_back(kDevicePrefix + std::string(kComPrefix) + std::to_string(number));
    }
    return PortTable(std::move(devices));
}

}  // namespace dm

#endif  // _WIN32

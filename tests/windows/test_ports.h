// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the Windows link tests are given by scripts/test.sh windows, and where they run.
//
// The peers are virtual microscopes on the Linux side, each on a pseudo-terminal that
// Wine maps to a COM port (HKLM\Software\Wine\Ports):
//   DM_WINDOWS_TEST_PORT       "\\.\COM9": a microscope that answers as usual
//   DM_WINDOWS_VANISHING_PORT  "\\.\COM8": one that goes away in the middle of its next
//                              picture frame, as if its cable were pulled (usable once)

#include <optional>
#include <string>

namespace dm::windows_test {

inline constexpr char kTestPortVariable[] = "DM_WINDOWS_TEST_PORT";
inline constexpr char kVanishingPortVariable[] = "DM_WINDOWS_VANISHING_PORT";

// The device name in the variable; empty when it is not set.
std::string PortFromEnvironment(const char* variable);

// True when the program runs under Wine rather than Windows. Wine differs from Windows
// in a few ways the tests tolerate by name (README, "Windows").
bool RunningUnderWine();

}  // namespace dm::windows_test

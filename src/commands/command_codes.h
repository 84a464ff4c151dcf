// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Pending command codes. A code is either the header word of the request the command
// starts with (lead byte low, command byte high) or one of the window-only codes
// 0xFFE1..0xFFE9 for commands that have no single frame of their own.

#include <cstdint>

#include "link/frame.h"

namespace dm::command {

inline constexpr uint16_t kNone = 0;
inline constexpr uint16_t kDownloadAll = frame::HeaderWord(frame::kDirectoryRequest);  // 0x21F8
inline constexpr uint16_t kDeleteSelected = frame::HeaderWord(frame::kDeleteRequest);  // 0x23F8
inline constexpr uint16_t kDeleteAll = frame::HeaderWord(frame::kDeleteAllRequest);    // 0x24F8
inline constexpr uint16_t kUpload = frame::HeaderWord(frame::kUpload);                 // 0x27F8
inline constexpr uint16_t kSnapshot = frame::HeaderWord(frame::kGetSnapshot);          // 0x28F8
inline constexpr uint16_t kCameraOn = frame::HeaderWord(frame::kCameraOn);             // 0x29F8
// Not in the command table: storing it ends a running camera-on command.
inline constexpr uint16_t kCameraOffSignal = frame::HeaderWord(frame::kCameraOff);  // 0x2AF8
inline constexpr uint16_t kPortSearch = 0xFFE1;
inline constexpr uint16_t kKey1 = 0xFFE2;        // Key1..Key8 are 0xFFE2..0xFFE9
inline constexpr uint16_t kPortSurvey = 0xFFEA;  // the command line's port list

constexpr uint16_t KeyCode(int key) {
    return static_cast<uint16_t>(kKey1 + key - 1);
}

}  // namespace dm::command

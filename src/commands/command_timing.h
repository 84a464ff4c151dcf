// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Waits and limits of the device conversation. The microscope paces on them (an upload
// faster than 32 bytes per 20 ms overruns it), so they are the device's, not tuning.

#include <chrono>
#include <cstdint>

namespace dm::timing {

using std::chrono::milliseconds;

// Transfer waits: poll period and the number of sleeps after the first. A sleep during
// which bytes arrived does not count: a wait ends for silence, never while the reply is
// still flowing (a 60 KB picture takes over 5 s at 115200 baud). kReplyHardLimit ends it
// all the same, far beyond the 5.7 s the largest frame needs at that rate, should the line
// never fall silent (a device that streams without end).
inline constexpr milliseconds kDirectoryPoll{100};
inline constexpr int kDirectoryPollLimit = 10;
inline constexpr milliseconds kPicturePoll{100};
inline constexpr int kPicturePollLimit = 50;
inline constexpr milliseconds kSnapshotPoll{10};
inline constexpr int kSnapshotPollLimit = 1000;
inline constexpr milliseconds kReplyHardLimit{60000};

inline constexpr milliseconds kProbeWait{200};         // probe to probe-reply check
inline constexpr milliseconds kKeyPause{100};          // after a key frame
inline constexpr milliseconds kCameraPoll{100};        // camera-on watches the code
inline constexpr milliseconds kUploadHeaderWait{100};  // header to memory-full check
inline constexpr milliseconds kUploadChunkPause{20};
inline constexpr milliseconds kUploadSettle{100};  // before the buttons come back
// After the upload's last write: how long the line must stay quiet before the picture
// counts as accepted (a memory-full reply may still come), how often that is looked at,
// and the most it waits on a line that never falls quiet.
inline constexpr milliseconds kUploadQuiet{300};
inline constexpr milliseconds kUploadQuietPoll{20};
inline constexpr milliseconds kUploadQuietLimit{2000};
inline constexpr milliseconds kDisconnectPause{100};  // disconnect frame to port close

// How long a command that gave up on its reply waits for the data thread to drop it
// (the data thread looks every 10 ms while it waits for a payload).
inline constexpr milliseconds kAbandonPoll{5};
inline constexpr int kAbandonPollLimit = 40;

// A picture whose claim the data thread took is linked within moments of that.
inline constexpr milliseconds kClaimedRecordPoll{1};
inline constexpr int kClaimedRecordTries = 1000;

inline constexpr int kUploadChunkSize = 32;
inline constexpr int kPortCount = 256;
inline constexpr int8_t kSearchBaudIndex = 3;  // 115200 baud

}  // namespace dm::timing

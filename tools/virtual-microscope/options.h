// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a virtual microscope holds and how it misbehaves. Plain values: the executable
// fills them from its command line, tests fill them directly.

#include <cstdint>
#include <string>

namespace dm::vm {

inline constexpr int kDefaultPictures = 4;
// The program's directory holds 64 entries, so that is as much as a well-behaved
// microscope keeps.
inline constexpr int kDefaultMaxPictures = 64;
// A directory frame's length field is 8N + 1 and 16 bits wide.
inline constexpr int kMaxDirectoryEntries = 8191;

// Fault switches. Each can be set at start and changed while the microscope runs.
struct Faults {
    // A few bytes that begin no frame are sent in front of every frame.
    bool garbageBetweenFrames = false;
    // Picture frames stop after half of their payload, and a running live stream stops
    // with them: the rest never comes.
    bool stallPayload = false;
    // Picture frames carry bytes that are not JPEG (same sizes, same info words).
    bool undecodableJpeg = false;
    // Picture frames announce more bytes in their length field than 8 + S.
    bool oversizedLength = false;
    // The next picture frame stops after half of its payload and the pseudo-terminal
    // closes: the microscope is gone, as if its cable had been pulled.
    bool vanishMidTransfer = false;
    // Output is paced at the byte rate of a real 115200-baud link (8N1: 11520 bytes/s).
    bool throttle = false;
    // Picture frames stop after half of their payload for this long, then the rest
    // follows: a line that falls silent for a while. 0: never.
    int pausePayloadMs = 0;
    // Entries the directory frame lists; 0 lists the memory as it is. More entries than
    // the memory holds are made up (numbered after the last picture) and a request for
    // one of them is answered with a picture painted on demand.
    int directoryEntries = 0;
    // Every Nth live frame loses one byte on the way (an overrun, a noisy cable), at a
    // place that moves from frame to frame. 0: never.
    int dropLiveByteEvery = 0;
    // Every Nth live frame is followed by a burst of bytes that begin no frame. 0: never.
    int strayBurstEvery = 0;

    bool operator==(const Faults&) const = default;
};

struct Options {
    int pictures = kDefaultPictures;        // pictures in memory at start, numbered 1..N
    int maxPictures = kDefaultMaxPictures;  // an upload beyond this answers memory full
    std::string logPath;                    // wire log file; empty: none
    int probeEveryMs = 0;                   // own probes; 0: never
    // Pictures in memory at start are padded to at least this many bytes with a comment
    // segment full of frame starts (F8 82, F8 FE, F8 A1, ...), as JPEG data may hold them.
    int pictureBytes = 0;
    Faults faults;
};

}  // namespace dm::vm

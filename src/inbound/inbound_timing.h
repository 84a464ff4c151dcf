// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How long the data thread waits on the line. The defaults are the program's; tests and
// the fuzz target shorten them so that a stalled frame costs no real time.

#include <chrono>

namespace dm {

struct InboundTiming {
    // A payload wait gives up after this long without a new byte.
    std::chrono::milliseconds payloadStall{5000};
    // After a frame that ended badly, a frame that is only a header (a probe, a probe
    // reply, a memory-full report) or an acknowledgement is believed when a plausible frame
    // follows it, or when nothing has followed it for this long. Longer than the gaps
    // inside a stream (the window moves bytes every 20 ms), far shorter than any reply wait.
    std::chrono::milliseconds confirmQuiet{100};
};

}  // namespace dm

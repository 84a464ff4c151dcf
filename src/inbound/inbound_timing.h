#pragma once
// How long the data thread waits on the line. The defaults are the program's; tests and
// the fuzz target shorten them so that a stalled frame costs no real time.

#include <chrono>

namespace dm {

struct InboundTiming {
    // A payload wait gives up after this long without a new byte.
    std::chrono::milliseconds payloadStall{5000};
    // After a frame that was malformed or given up on, everything received is dropped
    // until no byte has arrived for this long: the line is then between frames again.
    std::chrono::milliseconds quietGap{200};
};

}  // namespace dm

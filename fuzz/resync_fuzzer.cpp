// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer entry: streams of frames with one fault each, through the data thread's frame
// dispatch; aborts when the resynchronisation property does not hold.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/resync_property.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string failure = dm::fuzz::CheckResyncProperty(data, size);
    if (!failure.empty()) {
        std::fprintf(stderr, "resync property: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}

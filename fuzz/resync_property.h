// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The resynchronisation property, checked on one stream: a mix of the frames a microscope
// sends, one fault in one of them (a byte dropped, mangled or slipped in, or the frame cut
// short), all of it dispatched. Nothing may be reported that was not sent (the broken
// frame itself may yield one event), and every picture sent wholly behind the broken
// frame's announced end must be reported. Payloads hold no lead byte, so every frame
// start in a stream is a real one and a made-up event is the dispatcher's fault.
//
// The stream is built from the input's bytes, so a fuzzer steers frames, sizes and the
// fault; the suite feeds it random bytes from fixed seeds.

#include <cstddef>
#include <cstdint>
#include <string>

namespace dm::fuzz {

// Empty when the property holds; otherwise what went wrong.
std::string CheckResyncProperty(const uint8_t* data, std::size_t size);

}  // namespace dm::fuzz

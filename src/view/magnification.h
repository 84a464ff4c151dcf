// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a zoom code means to the user: the magnification shown in the overlay and the
// "Zoom" column, and the length in millimetres of the ruler's 185-pixel base line.
// Zoom ranges 0 and 2 have a value per step; range 3 is always 48, range 15 always 255.
// Other ranges have no magnification, and only ranges 0 and 2 have a ruler length.

#include <cstdint>
#include <optional>

namespace dm {

std::optional<uint8_t> ZoomCodeToMagnification(uint8_t zoomCode);
std::optional<float> RulerLengthMm(uint8_t zoomCode);

}  // namespace dm

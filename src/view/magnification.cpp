// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/magnification.h"

#include <array>

#include "link/frame.h"

namespace dm {

namespace {

constexpr uint8_t kRangeLow = 0;
constexpr uint8_t kRangeHigh = 2;
constexpr uint8_t kRangeFixed48 = 3;
constexpr uint8_t kRangeFixed255 = 15;
constexpr uint8_t kFixedMagnification48 = 48;
constexpr uint8_t kFixedMagnification255 = 255;

// Samples of the microscope's magnification curve, by zoom step 0..15.
constexpr std::array<uint8_t, 16> kLowRangeMagnification = {7,  8,  9,  10, 11, 12, 13, 14,
                                                            15, 16, 18, 19, 20, 22, 24, 25};
constexpr std::array<uint8_t, 16> kHighRangeMagnification = {27, 32, 37, 42, 47, 52, 57, 62,
                                                             67, 72, 77, 82, 87, 92, 97, 108};
// Millimetres covered by the ruler's base line, by zoom step 0..15.
constexpr std::array<float, 16> kLowRangeRulerMm = {3.2F, 2.8F, 2.5F,  2.2F, 2.0F, 1.9F,
                                                    1.7F, 1.6F, 1.5F,  1.4F, 1.3F, 1.2F,
                                                    1.1F, 1.0F, 0.95F, 0.9F};
constexpr std::array<float, 16> kHighRangeRulerMm = {0.83F, 0.7F,  0.6F,  0.53F, 0.47F, 0.43F,
                                                     0.39F, 0.36F, 0.33F, 0.31F, 0.29F, 0.27F,
                                                     0.25F, 0.24F, 0.23F, 0.22F};

}  // namespace

std::optional<uint8_t> ZoomCodeToMagnification(uint8_t zoomCode) {
    const uint8_t step = frame::ZoomStep(zoomCode);
    switch (frame::ZoomRange(zoomCode)) {
        case kRangeLow:
            return kLowRangeMagnification[step];
        case kRangeHigh:
            return kHighRangeMagnification[step];
        case kRangeFixed48:
            return kFixedMagnification48;
        case kRangeFixed255:
            return kFixedMagnification255;
        default:
            return std::nullopt;
    }
}

std::optional<float> RulerLengthMm(uint8_t zoomCode) {
    const uint8_t step = frame::ZoomStep(zoomCode);
    switch (frame::ZoomRange(zoomCode)) {
        case kRangeLow:
            return kLowRangeRulerMm[step];
        case kRangeHigh:
            return kHighRangeRulerMm[step];
        default:
            return std::nullopt;
    }
}

}  // namespace dm

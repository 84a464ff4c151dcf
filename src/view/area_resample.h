// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Halftone resampling: every destination pixel is the average of the source area it
// covers, each source pixel weighted by the part of it that lies inside that area. Used
// by the digital zoom to enlarge a picture smoothly. Any thread.

#include <QImage>
#include <QSize>

namespace dm {

// Returns a 24-bit (RGB888) picture of the given size; a null picture for an empty source
// or size.
QImage AreaResample(const QImage& source, const QSize& size);

}  // namespace dm

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Pictures of the device handed to the measuring window: a live frame as it arrived, or a
// downloaded picture from its scratch copy, each with the zoom code of its info word and
// the time it arrived. Any thread.

#include <cstdint>

#include <QDateTime>
#include <QImage>

#include "measure/picture_reader.h"

namespace dm {

// Named by the time it arrived ("20261209-031502"), as no file holds it yet.
measure::MeasuredPicture LiveFramePicture(const QImage& frame, uint32_t info,
                                          const QDateTime& received);
// Named as the list and its saved file name it ("00000012.jpg").
measure::MeasuredPicture DownloadedPicture(const QImage& picture, uint32_t info,
                                           const QDateTime& received);

}  // namespace dm

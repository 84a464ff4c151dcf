// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The picture the microscope receives on upload: always 320 x 240, the chosen file's
// picture scaled to fit with its proportions kept and centred on black. Any thread.

#include <QImage>
#include <QRect>

namespace dm {

inline constexpr int kUploadWidth = 320;
inline constexpr int kUploadHeight = 240;

// Where a picture of the given size lands inside the 320 x 240 upload picture.
QRect UploadPlacement(int width, int height);

// 24-bit, 320 x 240, black around the placed picture. A null picture gives a null one.
QImage BuildUploadPicture(const QImage& picture);

}  // namespace dm

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/measuring_pictures.h"

#include "link/frame.h"
#include "view/picture_files.h"
#include "view/picture_scale.h"

namespace dm {

namespace {

const char* const kLiveFrameNameFormat = "yyyyMMdd-HHmmss";

measure::MeasuredPicture DevicePicture(const QImage& picture, uint32_t info,
                                       const QDateTime& received) {
    measure::MeasuredPicture measured;
    measured.image = picture;
    measured.zoomCode = frame::ZoomCode(info);
    measured.scale = ScaleOf(*measured.zoomCode, picture.width());
    measured.taken = received;
    return measured;
}

}  // namespace

measure::MeasuredPicture LiveFramePicture(const QImage& frame, uint32_t info,
                                          const QDateTime& received) {
    measure::MeasuredPicture measured = DevicePicture(frame, info, received);
    measured.name = received.toString(QString::fromLatin1(kLiveFrameNameFormat));
    return measured;
}

measure::MeasuredPicture DownloadedPicture(const QImage& picture, uint32_t info,
                                           const QDateTime& received) {
    measure::MeasuredPicture measured = DevicePicture(picture, info, received);
    measured.name = DefaultJpegFileName(info);
    return measured;
}

}  // namespace dm

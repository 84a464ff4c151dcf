// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/picture_saving.h"

#include "link/frame.h"
#include "view/digital_zoom.h"
#include "view/jpeg_codec.h"
#include "view/live_view_surface.h"
#include "view/picture_files.h"

namespace dm::cli {

SaveOutcome SaveReceivedPicture(const QByteArray& jpeg, uint32_t info, const QDateTime& taken,
                                const QString& path, QString* why) {
    const QImage decoded = DecodeJpegStream(jpeg, QImage::Format_RGB32);
    if (decoded.isNull()) {
        return SaveOutcome::kUndecodable;
    }
    // A fresh (black) control for each picture: nothing of an earlier one shows around a
    // smaller picture.
    LiveViewSurface surface;
    surface.DrawUnscaled(decoded);
    const uint8_t zoomCode = frame::ZoomCode(info);
    const QImage picture = ZoomedPicture(surface.Picture(), frame::ZoomStep(zoomCode));
    const PictureFacts facts{zoomCode, taken};
    return SavePictureFile(picture, path, kDefaultJpegQuality, facts, why)
               ? SaveOutcome::kSaved
               : SaveOutcome::kNotWritten;
}

}  // namespace dm::cli

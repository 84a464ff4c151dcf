// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/picture_scale.h"

#include "view/calibration_book.h"
#include "view/live_frame_ring.h"
#include "view/magnification.h"
#include "view/overlays.h"

namespace dm {

namespace {
constexpr int kScaleDecimals = 1;
const char* const kDateFormat = "yyyy-MM-dd";
}  // namespace

std::optional<double> PixelsPerMillimetre(uint8_t zoomCode, int pictureWidth) {
    const std::optional<float> rulerMm = RulerLengthMm(zoomCode);
    if (!rulerMm || *rulerMm <= 0.0F || pictureWidth <= 0) {
        return std::nullopt;
    }
    const double onScreen = static_cast<double>(kRulerBaseLength) / static_cast<double>(*rulerMm);
    return onScreen * pictureWidth / kPanelWidth;
}

PictureScale ScaleOf(uint8_t zoomCode, int pictureWidth) {
    if (pictureWidth <= 0) {
        return {};
    }
    if (const std::optional<Calibration> calibration = CalibrationBook::Shared().Find(zoomCode)) {
        return {calibration->pixelsPerMillimetreAt320 * pictureWidth / kPanelWidth,
                ScaleSource::kCalibrated, calibration->date};
    }
    if (const std::optional<double> nominal = PixelsPerMillimetre(zoomCode, pictureWidth)) {
        return {*nominal, ScaleSource::kNominal, {}};
    }
    return {};
}

QString ScaleDescription(uint8_t zoomCode, int pictureWidth) {
    QStringList parts;
    if (const std::optional<uint8_t> magnification = ZoomCodeToMagnification(zoomCode)) {
        parts << MagnificationLabel(*magnification);
    }
    const PictureScale scale = ScaleOf(zoomCode, pictureWidth);
    if (scale.Known()) {
        // Plain C-locale digits: the description is read by programs as much as by people.
        QString text =
            QStringLiteral("1 mm = %1 px").arg(scale.pixelsPerMillimetre, 0, 'f', kScaleDecimals);
        if (scale.source == ScaleSource::kCalibrated) {
            text += QStringLiteral(" (calibrated %1)")
                        .arg(scale.calibratedOn.toString(QString::fromLatin1(kDateFormat)));
        }
        parts << text;
    }
    return parts.join(QStringLiteral(", "));
}

}  // namespace dm

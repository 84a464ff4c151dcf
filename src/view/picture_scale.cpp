#include "view/picture_scale.h"

#include "view/live_frame_ring.h"
#include "view/magnification.h"
#include "view/overlays.h"

namespace dm {

namespace {
constexpr int kScaleDecimals = 1;
}  // namespace

std::optional<double> PixelsPerMillimetre(uint8_t zoomCode, int pictureWidth) {
    const std::optional<float> rulerMm = RulerLengthMm(zoomCode);
    if (!rulerMm || *rulerMm <= 0.0F || pictureWidth <= 0) {
        return std::nullopt;
    }
    const double onScreen = static_cast<double>(kRulerBaseLength) / static_cast<double>(*rulerMm);
    return onScreen * pictureWidth / kPanelWidth;
}

QString ScaleDescription(uint8_t zoomCode, int pictureWidth) {
    const std::optional<uint8_t> magnification = ZoomCodeToMagnification(zoomCode);
    if (!magnification) {
        return {};
    }
    QString text = MagnificationLabel(*magnification);
    if (const auto perMm = PixelsPerMillimetre(zoomCode, pictureWidth)) {
        // Plain C-locale digits: the description is read by programs as much as by people.
        text += QStringLiteral(", 1 mm = %1 px").arg(*perMm, 0, 'f', kScaleDecimals);
    }
    return text;
}

}  // namespace dm

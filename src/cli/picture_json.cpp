// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/picture_json.h"

#include <QFileInfo>
#include <cmath>
#include <optional>

#include "view/magnification.h"
#include "view/picture_scale.h"

namespace dm::cli {

namespace {
constexpr int kSavedWidth = 320;
constexpr double kScaleRounding = 10.0;  // one decimal, as the picture's description
}  // namespace

QJsonObject PictureJson(uint32_t number, const QString& file, qint64 size, uint8_t zoomCode) {
    const PictureScale saved = ScaleOf(zoomCode, kSavedWidth);
    std::optional<double> scale;
    if (saved.Known()) {
        scale = std::round(saved.pixelsPerMillimetre * kScaleRounding) / kScaleRounding;
    }
    const std::optional<uint8_t> magnification = ZoomCodeToMagnification(zoomCode);
    return {{QStringLiteral("number"), static_cast<qint64>(number)},
            {QStringLiteral("file"), QFileInfo(file).absoluteFilePath()},
            {QStringLiteral("size"), size},
            {QStringLiteral("zoomCode"), zoomCode},
            {QStringLiteral("magnification"),
             magnification ? QJsonValue(static_cast<int>(*magnification)) : QJsonValue()},
            {QStringLiteral("scale"), scale ? QJsonValue(*scale) : QJsonValue()}};
}

}  // namespace dm::cli

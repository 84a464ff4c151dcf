// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/scale_bar.h"

#include <algorithm>
#include <array>
#include <cmath>

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPen>

namespace dm::measure {

namespace {

constexpr int kMicrometresPerMillimetre = 1000;
constexpr int kLongestBarShare = 4;  // a bar is at most a quarter of the picture's width
constexpr std::array<long long, 3> kSteps = {1, 2, 5};
constexpr long long kDecade = 10;
constexpr long long kLongestBarMicrometres = 1'000'000'000;  // 1 km: beyond any picture

// Sizes relative to the picture's shorter side, so that the bar reads the same on a
// 320 x 240 picture and on a large one.
constexpr double kMarginShare = 0.03;
constexpr double kBarHeightShare = 0.015;
constexpr double kTextHeightShare = 0.05;
constexpr double kLeastBarHeight = 2.0;
constexpr double kLeastTextHeight = 8.0;
constexpr double kOutlineWidthShare = 0.25;  // of the bar's height
const QColor kBarColour(Qt::white);
const QColor kOutlineColour(32, 32, 32);

QString LabelOf(long long micrometres) {
    if (micrometres < kMicrometresPerMillimetre) {
        return QStringLiteral("%1 %2m").arg(micrometres).arg(QChar(0x00B5));
    }
    if (micrometres % kMicrometresPerMillimetre == 0) {
        return QStringLiteral("%1 mm").arg(micrometres / kMicrometresPerMillimetre);
    }
    return QStringLiteral("%1 mm").arg(
        QString::number(static_cast<double>(micrometres) / kMicrometresPerMillimetre));
}

ScaleBar BarOfMicrometres(long long micrometres, const PictureScale& scale) {
    const double millimetres = static_cast<double>(micrometres) / kMicrometresPerMillimetre;
    ScaleBar bar = ScaleBarOf(millimetres, scale);
    bar.label = LabelOf(micrometres);
    return bar;
}

}  // namespace

ScaleBar ScaleBarOf(double millimetres, const PictureScale& scale) {
    const double micrometres = millimetres * kMicrometresPerMillimetre;
    const bool whole = micrometres == std::round(micrometres);
    return {millimetres, static_cast<int>(std::lround(millimetres * scale.pixelsPerMillimetre)),
            whole ? LabelOf(std::llround(micrometres))
                  : QStringLiteral("%1 mm").arg(QString::number(millimetres))};
}

std::optional<ScaleBar> ChooseScaleBar(const PictureScale& scale, int pictureWidth) {
    if (!scale.Known() || scale.pixelsPerMillimetre <= 0.0 || pictureWidth <= 0) {
        return std::nullopt;
    }
    const int longest = pictureWidth / kLongestBarShare;
    std::optional<ScaleBar> chosen;
    for (long long decade = 1; decade <= kLongestBarMicrometres; decade *= kDecade) {
        for (const long long step : kSteps) {
            const ScaleBar bar = BarOfMicrometres(step * decade, scale);
            if (bar.pixels > longest) {
                return chosen;
            }
            if (bar.pixels > 0) {
                chosen = bar;
            }
        }
    }
    return chosen;
}

void DrawScaleBar(QPainter& painter, const QRectF& picture, const ScaleBar& bar, Corner corner) {
    const double shorter = std::min(picture.width(), picture.height());
    const double margin = shorter * kMarginShare;
    const double barHeight = std::round(std::max(kLeastBarHeight, shorter * kBarHeightShare));
    QFont font = painter.font();
    font.setPixelSize(static_cast<int>(std::max(kLeastTextHeight, shorter * kTextHeightShare)));
    const QFontMetricsF metrics(font);
    const double textHeight = std::ceil(metrics.height());
    const double blockHeight = textHeight + barHeight;

    const bool right = corner == Corner::kBottomRight || corner == Corner::kTopRight;
    const bool bottom = corner == Corner::kBottomRight || corner == Corner::kBottomLeft;
    // Whole picture pixels, so that the bar covers exactly bar.pixels of them.
    const double left =
        std::round(right ? picture.right() - margin - bar.pixels : picture.left() + margin);
    const double top =
        std::round(bottom ? picture.bottom() - margin - blockHeight : picture.top() + margin);
    const QRectF barRect(left, top + textHeight, bar.pixels, barHeight);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    // The outline lies outside the bar, so the white bar itself is exactly as long as the
    // scale says.
    const double outline = std::max(1.0, std::round(barHeight * kOutlineWidthShare));
    painter.fillRect(barRect.adjusted(-outline, -outline, outline, outline), kOutlineColour);
    painter.fillRect(barRect, kBarColour);
    QPainterPath text;
    const double textWidth = metrics.horizontalAdvance(bar.label);
    text.addText(QPointF(barRect.center().x() - textWidth / 2.0, top + metrics.ascent()), font,
                 bar.label);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.strokePath(text, QPen(kOutlineColour, outline * 2.0));
    painter.fillPath(text, kBarColour);
    painter.restore();
}

}  // namespace dm::measure

// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/overlays.h"

#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QLocale>
#include <QPainter>
#include <QPoint>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "view/magnification.h"

namespace dm {

namespace {

// Character heights in pixels: 18 pt and 12 pt at 96 pixels per inch.
constexpr int kMagnificationPixelSize = 24;
constexpr int kRulerLabelPixelSize = 16;
const QPoint kMagnificationOrigin{260, 0};
const QPoint kRulerLabelOrigin{250, 220};

constexpr int kRulerBaseY = 230;
constexpr int kMinorTickTopY = 220;
constexpr int kMajorTickTopY = 215;
constexpr float kRulerLimitX = 240.0F;
constexpr float kMinorTickSpacing = 18.5F;
constexpr float kMajorTickSpacing = 92.5F;
constexpr int kRulerDecimals = 2;
constexpr int kRulerSignificantDigits = 2;

QFont OverlayFont(int pixelSize) {
    QFont font;
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(true);
    // Plain glyphs in the exact label colour, as on a classic bitmap canvas.
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

// The label as it lands on the picture: its cell filled with the background first, so the
// label stays readable on any picture, and the text on top.
QImage RenderLabel(const QString& text, int pixelSize, const QColor& color,
                   const QColor& background, QImage::Format format) {
    const QFont font = OverlayFont(pixelSize);
    const QFontMetrics metrics(font);
    QImage label(QSize(metrics.horizontalAdvance(text), metrics.height()), format);
    label.fill(background);
    QPainter painter(&label);
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(QPoint(0, metrics.ascent()), text);
    return label;
}

// Live frames show the same few labels over and over: each thread keeps the labels it has
// rendered, so a frame only copies pixels instead of laying out text.
const QImage& CachedLabel(const QString& text, int pixelSize, const QColor& color,
                          const QColor& background, QImage::Format format) {
    thread_local QHash<QString, QImage> labels;
    const QString key = QStringLiteral("%1|%2|%3|%4|%5")
                            .arg(text)
                            .arg(pixelSize)
                            .arg(color.rgb())
                            .arg(background.rgb())
                            .arg(static_cast<int>(format));
    auto found = labels.find(key);
    if (found == labels.end()) {
        found = labels.insert(key, RenderLabel(text, pixelSize, color, background, format));
    }
    return *found;
}

// Copies the label's rows into the target, cut off at the target's edges.
void DrawOpaqueText(QImage& target, const QPoint& topLeft, const QString& text, int pixelSize,
                    const QColor& color, const QColor& background) {
    const QImage& label = CachedLabel(text, pixelSize, color, background, target.format());
    const QRect area = QRect(topLeft, label.size()).intersected(target.rect());
    if (area.isEmpty()) {
        return;
    }
    const auto bytesPerPixel = static_cast<std::ptrdiff_t>(target.depth() / 8);
    const auto rowBytes = static_cast<std::size_t>(area.width() * bytesPerPixel);
    const std::ptrdiff_t fromOffset = (area.x() - topLeft.x()) * bytesPerPixel;
    const std::ptrdiff_t toOffset = area.x() * bytesPerPixel;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const uchar* from = label.constScanLine(y - topLeft.y()) + fromOffset;
        std::memcpy(target.scanLine(y) + toOffset, from, rowBytes);
    }
}

void SetPixelIfInside(QImage& target, int x, int y, const QColor& color) {
    if (target.valid(x, y)) {
        target.setPixelColor(x, y, color);
    }
}

// Bresenham from 'from' towards 'to'; 'to' itself is left untouched.
void DrawLineExcludingEnd(QImage& target, QPoint from, QPoint to, const QColor& color) {
    const int dx = std::abs(to.x() - from.x());
    const int dy = -std::abs(to.y() - from.y());
    const int stepX = from.x() < to.x() ? 1 : -1;
    const int stepY = from.y() < to.y() ? 1 : -1;
    int error = dx + dy;
    QPoint point = from;
    while (point != to) {
        SetPixelIfInside(target, point.x(), point.y(), color);
        const int doubled = 2 * error;
        if (doubled >= dy) {
            error += dy;
            point.rx() += stepX;
        }
        if (doubled <= dx) {
            error += dx;
            point.ry() += stepY;
        }
    }
}

void DrawTicks(QImage& target, float spacing, int topY) {
    for (float x = static_cast<float>(kRulerStartX); x <= kRulerLimitX; x += spacing) {
        const int tickX = static_cast<int>(x);
        DrawLineExcludingEnd(target, {tickX, kRulerBaseY}, {tickX, topY}, kRulerLineColor);
    }
}

}  // namespace

QString MagnificationLabel(uint8_t magnification) {
    return QString::number(magnification) + QLatin1Char('X');
}

std::optional<QString> RulerLabel(uint8_t zoomCode) {
    const std::optional<float> length = RulerLengthMm(zoomCode);
    if (!length) {
        return std::nullopt;
    }
    // Rounded to two significant digits first, so 0.95 stays 0.95 and not 0.9499...
    const double rounded =
        QString::number(static_cast<double>(*length), 'g', kRulerSignificantDigits).toDouble();
    return QLocale().toString(rounded, 'f', kRulerDecimals) + QStringLiteral("mm");
}

void DrawMagnification(QImage& target, uint8_t magnification, const QColor& background) {
    DrawOpaqueText(target, kMagnificationOrigin, MagnificationLabel(magnification),
                   kMagnificationPixelSize, kMagnificationColor, background);
}

void DrawRuler(QImage& target, uint8_t zoomCode, const QColor& background) {
    const std::optional<QString> label = RulerLabel(zoomCode);
    if (!label) {
        return;
    }
    DrawOpaqueText(target, kRulerLabelOrigin, *label, kRulerLabelPixelSize, kRulerLabelColor,
                   background);
    DrawLineExcludingEnd(target, {kRulerStartX, kRulerBaseY}, {kRulerEndX, kRulerBaseY},
                         kRulerLineColor);
    DrawTicks(target, kMinorTickSpacing, kMinorTickTopY);
    DrawTicks(target, kMajorTickSpacing, kMajorTickTopY);
}

void DrawOverlays(QImage& target, uint8_t zoomCode, bool magnification, bool ruler,
                  const QColor& background) {
    if (magnification) {
        if (const std::optional<uint8_t> value = ZoomCodeToMagnification(zoomCode)) {
            DrawMagnification(target, *value, background);
        }
    }
    if (ruler) {
        DrawRuler(target, zoomCode, background);
    }
}

}  // namespace dm

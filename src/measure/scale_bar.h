// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The scale bar burned into or drawn over a picture: a 1-2-5 length (1, 2, 5, 10, 20, 50,
// 100 ... µm or mm) whose drawn length is the length times the scale, rounded to the
// nearest pixel, never truncated (100 µm at 4.302 px/µm is 430 px, not 429). Any thread.

#include <optional>

#include <QRectF>
#include <QString>

#include "view/picture_scale.h"

class QPainter;

namespace dm::measure {

enum class Corner { kBottomRight, kBottomLeft, kTopRight, kTopLeft };

struct ScaleBar {
    double millimetres = 0.0;
    int pixels = 0;  // in picture pixels
    QString label;   // "100 µm", "2 mm"
};

// The largest 1-2-5 length whose bar is at most a quarter of the picture's width; none
// without a scale or when not even 1 µm fits.
std::optional<ScaleBar> ChooseScaleBar(const PictureScale& scale, int pictureWidth);
// The bar for exactly this length.
ScaleBar ScaleBarOf(double millimetres, const PictureScale& scale);

// Draws the bar and its label in a corner of `picture` (picture pixels, under the
// painter's transform): a white bar with a dark outline so it shows on any specimen.
void DrawScaleBar(QPainter& painter, const QRectF& picture, const ScaleBar& bar, Corner corner);

}  // namespace dm::measure

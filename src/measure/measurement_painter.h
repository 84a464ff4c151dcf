// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Draws measurements over a picture, the same way on screen and burned into a saved
// picture: each tool's lines and marks, and a number label beside each measurement that
// matches its row in the results table. Coordinates are picture pixels under the
// painter's transform; `penScale` is screen pixels per picture pixel (1 when burning in),
// so lines and labels keep their size on screen at any zoom. Any thread.

#include <vector>

#include <QColor>
#include <QPointF>

#include "measure/measurement.h"

class QPainter;

namespace dm::measure {

struct PaintStyle {
    double penScale = 1.0;
    int selected = -1;             // index of the selected measurement, drawn highlighted
    bool showPointHandles = true;  // small squares on the points (on screen only)
};

void PaintMeasurements(QPainter& painter, const std::vector<Measurement>& measurements,
                       const PaintStyle& style);
// The colour of a count tool's group (0..kCountGroups-1), the same in the toolbar.
QColor CountGroupColour(int group);

// A measurement still being placed: its points so far and the pointer.
void PaintInProgress(QPainter& painter, Tool tool, const std::vector<QPointF>& points,
                     QPointF pointer, const PaintStyle& style);

}  // namespace dm::measure

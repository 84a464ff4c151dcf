// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the pointer is on in the measuring window's canvas: a point of a measurement (to
// drag it) or a measurement's line, edge or mark (to select it). Distances are measured on
// screen, through `toScreen`, so grabbing feels the same at every zoom. Any thread.

#include <functional>
#include <optional>
#include <vector>

#include <QPointF>

#include "measure/measurement.h"

namespace dm {

struct PointHit {
    int measurement = -1;
    int point = -1;
};

using ScreenMapping = std::function<QPointF(QPointF)>;

// The nearest point within `radius` screen pixels; the `preferred` measurement's points
// win over others' (the selected one sits on top).
std::optional<PointHit> HitPoint(const std::vector<measure::Measurement>& measurements,
                                 const ScreenMapping& toScreen, QPointF screen, double radius,
                                 int preferred);
// The measurement whose drawing passes nearest within `radius` screen pixels, or whose
// closed shape contains the point.
std::optional<int> HitMeasurement(const std::vector<measure::Measurement>& measurements,
                                  const ScreenMapping& toScreen, QPointF screen, double radius);

}  // namespace dm

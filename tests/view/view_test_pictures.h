// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Pictures and pixel queries shared by the view tests.

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRect>
#include <QSize>

namespace dm::test {

// Four flat quadrants: red, green (top), blue, white (bottom).
QImage QuadrantPicture(QSize size);
// A smooth pattern with detail in both directions (no flat areas).
QImage PatternPicture(QSize size);
QImage FlatPicture(QSize size, const QColor& color);
QByteArray Jpeg(const QImage& picture);  // quality 95

int CountPixels(const QImage& picture, const QRect& box, const QColor& color);
// True when every channel differs by at most tolerance.
bool Near(const QColor& a, const QColor& b, int tolerance = 24);

}  // namespace dm::test

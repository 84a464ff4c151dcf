// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/view_test_pictures.h"

#include <cmath>
#include <cstdlib>

#include <QPainter>

#include "view/jpeg_codec.h"

namespace dm::test {

QImage QuadrantPicture(QSize size) {
    QImage picture(size, QImage::Format_RGB888);
    const int halfW = size.width() / 2;
    const int halfH = size.height() / 2;
    QPainter painter(&picture);
    painter.fillRect(0, 0, halfW, halfH, QColor(255, 0, 0));
    painter.fillRect(halfW, 0, size.width() - halfW, halfH, QColor(0, 255, 0));
    painter.fillRect(0, halfH, halfW, size.height() - halfH, QColor(0, 0, 255));
    painter.fillRect(halfW, halfH, size.width() - halfW, size.height() - halfH,
                     QColor(255, 255, 255));
    return picture;
}

QImage PatternPicture(QSize size) {
    QImage picture(size, QImage::Format_RGB888);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const int r = static_cast<int>(127 + 120 * std::sin(x * 0.11 + y * 0.03));
            const int g = static_cast<int>(127 + 120 * std::cos(y * 0.13));
            const int b = (x * 3 + y * 5) % 256;
            picture.setPixelColor(x, y, QColor(r, g, b));
        }
    }
    return picture;
}

QImage FlatPicture(QSize size, const QColor& color) {
    QImage picture(size, QImage::Format_RGB888);
    picture.fill(color);
    return picture;
}

QByteArray Jpeg(const QImage& picture) {
    return EncodeJpegStream(picture, 95);
}

int CountPixels(const QImage& picture, const QRect& box, const QColor& color) {
    int count = 0;
    const QRect inside = box & picture.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (picture.pixelColor(x, y).rgb() == color.rgb()) {
                ++count;
            }
        }
    }
    return count;
}

bool Near(const QColor& a, const QColor& b, int tolerance) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

}  // namespace dm::test

// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/upload_picture.h"

#include <QPainter>

namespace dm {

namespace {
// 1/320 and 1/240 as the microscope's own software computes them: 32-bit floats, so a
// picture lands on exactly the same pixels.
constexpr float kPerUploadWidth = 0.003125F;
constexpr float kPerUploadHeight = 0.0041666667F;
constexpr float kRoundHalf = 0.5F;
}  // namespace

QRect UploadPlacement(int width, int height) {
    const float sx = static_cast<float>(width) * kPerUploadWidth;
    const float sy = static_cast<float>(height) * kPerUploadHeight;
    if (sx > sy) {
        int h = static_cast<int>(static_cast<float>(height) / sx + kRoundHalf);
        int y = 0;
        if (h >= kUploadHeight) {
            h = kUploadHeight;
        } else {
            y = (kUploadHeight - h) / 2;
        }
        return QRect(0, y, kUploadWidth, h);
    }
    int w = static_cast<int>(static_cast<float>(width) / sy + kRoundHalf);
    int x = 0;
    if (w >= kUploadWidth) {
        w = kUploadWidth;
    } else {
        x = (kUploadWidth - w) / 2;
    }
    return QRect(x, 0, w, kUploadHeight);
}

QImage BuildUploadPicture(const QImage& picture) {
    if (picture.isNull()) {
        return {};
    }
    QImage upload(kUploadWidth, kUploadHeight, QImage::Format_RGB888);
    upload.fill(Qt::black);
    QPainter painter(&upload);
    painter.drawImage(UploadPlacement(picture.width(), picture.height()), picture);
    painter.end();
    return upload;
}

}  // namespace dm

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/picture_box.h"

#include <QPainter>

namespace dm {

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void PictureBox::SetPicture(const QImage& picture) {
    picture_ = picture;
    FollowPictureSize();
    update();
}

void PictureBox::ClearPicture() {
    picture_ = QImage();
    update();
}

void PictureBox::DrawOnCanvas(const QPoint& at, const QImage& image) {
    EnsureCanvas();
    QPainter painter(&picture_);
    painter.drawImage(at, image);
    painter.end();
    update();
}

void PictureBox::StretchDrawOnCanvas(const QRect& target, const QImage& image) {
    EnsureCanvas();
    QPainter painter(&picture_);
    painter.drawImage(target, image);
    painter.end();
    update();
}

void PictureBox::SetStretch(bool stretch) {
    stretch_ = stretch;
    update();
}

void PictureBox::SetAutoSize(bool autoSize) {
    autoSize_ = autoSize;
    FollowPictureSize();
}

void PictureBox::paintEvent(QPaintEvent* /*event*/) {
    if (picture_.isNull()) {
        return;
    }
    QPainter painter(this);
    if (stretch_) {
        painter.drawImage(rect(), picture_);
    } else {
        painter.drawImage(QPoint(0, 0), picture_);
    }
}

void PictureBox::EnsureCanvas() {
    if (!picture_.isNull()) {
        return;
    }
    picture_ = QImage(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    picture_.fill(Qt::black);
}

void PictureBox::FollowPictureSize() {
    if (autoSize_ && !picture_.isNull()) {
        resize(picture_.size());
    }
}

}  // namespace dm

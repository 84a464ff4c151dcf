// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A picture control: a canvas picture shown at the control's top-left corner or, with
// stretching on, scaled to the control's size. Without a picture it draws nothing, so
// whatever lies beneath shows through. With automatic sizing on, the control takes the
// size of each picture it is given. Window thread only.

#include <QImage>
#include <QWidget>

namespace dm {

class PictureBox : public QWidget {
    Q_OBJECT
  public:
    explicit PictureBox(QWidget* parent = nullptr);

    const QImage& Picture() const { return picture_; }
    bool HasPicture() const { return !picture_.isNull(); }
    void SetPicture(const QImage& picture);
    void ClearPicture();

    // Draws `image` unscaled onto the canvas with its top-left corner at `at`; what falls
    // outside the canvas is cut off. A control without a picture first gets a black
    // canvas of its own size.
    void DrawOnCanvas(const QPoint& at, const QImage& image);
    // Draws `image` scaled into `target` of the canvas (created as above when missing).
    void StretchDrawOnCanvas(const QRect& target, const QImage& image);

    bool Stretch() const { return stretch_; }
    void SetStretch(bool stretch);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool autoSize);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void EnsureCanvas();
    void FollowPictureSize();

    QImage picture_;
    bool stretch_ = false;
    bool autoSize_ = false;
};

}  // namespace dm

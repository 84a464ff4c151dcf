// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The live view control's own 320 x 240 picture (Image3): what the window shows in the
// picture area under the browse view. Live frames replace it, the start-up picture is
// drawn on it, and the digital zoom conversion draws each picture on it and uses it as its
// working surface, so a picture smaller than 320 x 240 leaves the previous content
// around it.
//
// The conversion leaves the control enlarged; the enlarged flag tells the live view
// (data thread) to ask the window for the normal geometry once, on its next frame.
// Threads: the picture belongs to the window thread; the flag is shared.

#include <atomic>

#include <QImage>
#include <QString>

namespace dm {

class LiveViewSurface {
  public:
    LiveViewSurface();  // black

    const QImage& Picture() const { return picture_; }
    // A finished ring slot: it covers the whole surface, so it simply becomes the picture.
    void Replace(const QImage& frame);
    // Draws the picture at (0,0) without scaling; what lies outside 320 x 240 is cut off.
    void DrawUnscaled(const QImage& picture);
    // The start-up picture: a BMP file drawn unscaled. False (surface unchanged) when the
    // file cannot be read.
    bool DrawPictureFile(const QString& path);

    void MarkEnlarged() { enlarged_.store(true, std::memory_order_release); }
    // True once after each MarkEnlarged().
    bool TakeEnlarged() {
        return enlarged_.load(std::memory_order_relaxed) &&
               enlarged_.exchange(false, std::memory_order_acquire);
    }

  private:
    QImage picture_;
    std::atomic<bool> enlarged_{false};
};

}  // namespace dm

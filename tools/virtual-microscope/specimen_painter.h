// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Paints what the virtual microscope "sees": a stained slide with cells and fibres,
// 320 x 240, and optionally a picture number in large segment digits so a picture can
// be recognised at a glance. Pure QPainter on QImage without fonts, so any thread.

#include <cstdint>
#include <optional>

#include <QImage>

namespace dm::vm {

inline constexpr int kPictureWidth = 320;
inline constexpr int kPictureHeight = 240;

struct SpecimenView {
    uint32_t slide = 0;                     // which specimen: layout and stain follow from it
    double panX = 0;                        // specimen pixels the view is moved right
    double panY = 0;                        // specimen pixels the view is moved down
    double scale = 1;                       // screen pixels per specimen pixel
    double seconds = 0;                     // animation time; the cells drift with it
    std::optional<uint32_t> number;         // large digits in the middle
    std::optional<uint32_t> magnification;  // small "<m>X" label at the top left
};

// Paints views one after another. It keeps the backdrop of the last view (background and
// fibres, which do not move with time), so that the frames of a live stream repaint only
// the cells. Same pixels as PaintSpecimen. One thread at a time.
class SpecimenPainter {
  public:
    QImage Paint(const SpecimenView& view);

  private:
    struct Backdrop {
        uint32_t slide = 0;
        double panX = 0;
        double panY = 0;
        double scale = 0;
        bool operator==(const Backdrop&) const = default;
    };
    Backdrop backdropOf_;
    QImage backdrop_;  // twice the picture's size, as painted
};

QImage PaintSpecimen(const SpecimenView& view);

// How much bigger a magnification shows the specimen; bounded so that every zoom code,
// even the made-up 255X, still shows a few cells.
double ScaleForMagnification(std::optional<uint8_t> magnification);

}  // namespace dm::vm

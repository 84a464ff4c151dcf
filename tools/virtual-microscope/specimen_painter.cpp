// SPDX-License-Identifier: GPL-3.0-or-later
#include "virtual-microscope/specimen_painter.h"

#include <QColor>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>
#include <QtMath>
#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <vector>

namespace dm::vm {

namespace {

// The specimen repeats every tile, so the view can be panned without end.
constexpr double kTileWidth = 420;
constexpr double kTileHeight = 320;
constexpr int kCellsPerTile = 40;
constexpr int kFibresPerTile = 5;
constexpr double kDriftPixels = 4;
constexpr double kBaseScale = 0.6;
constexpr double kMagnificationPerScale = 60;
constexpr double kMinScale = 0.5;
constexpr double kMaxScale = 2.5;
// Qt's raster engine hands a fill of 96 spans or more to a pool of its own threads.
// Bands of this many device lines keep every fill of the backdrop below that.
constexpr int kBandHeight = 32;
// Cells, the number plate and the label are convex shapes: a line crosses one in at most
// two spans (an outline's left and right side), so taller bands stay below it too.
constexpr int kConvexBandHeight = 44;
constexpr int kSupersampling = 2;
// Added around a shape's computed extent before it is compared with a band, so that a
// pixel its edge just touches is never lost by the rounding of the rasteriser.
constexpr double kBoundsMargin = 1;

struct Cell {
    double x, y, radius, aspect, angleDeg;
    double nucleusDx, nucleusDy, nucleusRadius;
    double driftPhase;
    int hueShift;
};

struct Fibre {
    std::array<QPointF, 4> points;
    double width;
};

struct Layout {
    std::vector<Cell> cells;
    std::vector<Fibre> fibres;
    int stainHue;
};

Layout MakeLayout(uint32_t slide) {
    std::mt19937 random(slide * 2654435761u + 17u);
    auto uniform = [&random](double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random);
    };
    Layout layout;
    layout.stainHue = static_cast<int>(uniform(250, 340));
    for (int i = 0; i < kFibresPerTile; ++i) {
        Fibre fibre{};
        for (auto& point : fibre.points) {
            point = QPointF(uniform(-40, kTileWidth + 40), uniform(-40, kTileHeight + 40));
        }
        fibre.width = uniform(2, 6);
        layout.fibres.push_back(fibre);
    }
    for (int i = 0; i < kCellsPerTile; ++i) {
        const double radius = uniform(11, 24);
        layout.cells.push_back(Cell{
            uniform(0, kTileWidth), uniform(0, kTileHeight), radius, uniform(0.7, 1.0),
            uniform(0, 180), uniform(-0.25, 0.25) * radius, uniform(-0.25, 0.25) * radius,
            uniform(0.3, 0.45) * radius, uniform(0, 6.28), static_cast<int>(uniform(-20, 20))});
    }
    return layout;
}

// Maps specimen coordinates of one tile copy to the screen.
struct ViewTransform {
    double originX, originY, scale;
    QPointF Map(double x, double y) const { return {originX + x * scale, originY + y * scale}; }
};

void PaintBackground(QPainter& painter, int stainHue) {
    QRadialGradient field(kPictureWidth / 2.0, kPictureHeight / 2.0, kPictureWidth * 0.75);
    field.setColorAt(0, QColor::fromHsv(stainHue, 25, 250));
    field.setColorAt(0.7, QColor::fromHsv(stainHue, 45, 225));
    field.setColorAt(1, QColor::fromHsv(stainHue, 70, 150));
    painter.fillRect(QRectF(0, 0, kPictureWidth, kPictureHeight), field);
}

// What a fibre can cover on the screen: the curve stays inside its control points' hull,
// and the round-capped pen reaches half its width beyond.
QRectF FibreBounds(const Fibre& fibre, const ViewTransform& at) {
    const QPointF first = at.Map(fibre.points[0].x(), fibre.points[0].y());
    QPointF low = first;
    QPointF high = first;
    for (const QPointF& point : fibre.points) {
        const QPointF mapped = at.Map(point.x(), point.y());
        low = QPointF(std::min(low.x(), mapped.x()), std::min(low.y(), mapped.y()));
        high = QPointF(std::max(high.x(), mapped.x()), std::max(high.y(), mapped.y()));
    }
    const double reach = fibre.width * at.scale / 2 + kBoundsMargin;
    return QRectF(low, high).adjusted(-reach, -reach, reach, reach);
}

void PaintFibre(QPainter& painter, const Fibre& fibre, const ViewTransform& at, int stainHue) {
    QPainterPath path(at.Map(fibre.points[0].x(), fibre.points[0].y()));
    path.cubicTo(at.Map(fibre.points[1].x(), fibre.points[1].y()),
                 at.Map(fibre.points[2].x(), fibre.points[2].y()),
                 at.Map(fibre.points[3].x(), fibre.points[3].y()));
    QColor colour = QColor::fromHsv((stainHue + 20) % 360, 110, 200);
    colour.setAlpha(150);
    painter.strokePath(path, QPen(colour, fibre.width * at.scale, Qt::SolidLine, Qt::RoundCap));
}

// A cell as one frame shows it, in screen coordinates.
struct PlacedCell {
    QPointF centre;
    double angleDeg;
    double rx, ry;
    double outlineWidth;
    int hue;
    QPointF nucleus;  // from the centre, before the turn
    double nucleusRadius;
};

PlacedCell Place(const Cell& cell, const ViewTransform& at, int stainHue, double seconds) {
    const double driftX = kDriftPixels * std::sin(seconds * 0.9 + cell.driftPhase);
    const double driftY = kDriftPixels * std::cos(seconds * 0.7 + cell.driftPhase * 1.3);
    const double rx = cell.radius * at.scale;
    const double wobble = 1 + 0.06 * std::sin(seconds * 2 + cell.driftPhase);
    return PlacedCell{at.Map(cell.x + driftX, cell.y + driftY),
                      cell.angleDeg + 10 * std::sin(seconds * 0.5 + cell.driftPhase),
                      rx,
                      rx * cell.aspect,
                      std::max(1.0, 1.5 * at.scale),
                      (stainHue + cell.hueShift + 360) % 360,
                      QPointF(cell.nucleusDx * at.scale, cell.nucleusDy * at.scale),
                      cell.nucleusRadius * at.scale * wobble};
}

// Bands span the picture's width, so a shape's rows tell whether it reaches into one.
bool ReachesBand(double top, double bottom, const QRectF& band) {
    return bottom + kBoundsMargin >= band.top() && top - kBoundsMargin <= band.bottom();
}

QRectF Around(QPointF centre, double reachX, double reachY) {
    return QRectF(centre.x() - reachX - kBoundsMargin, centre.y() - reachY - kBoundsMargin,
                  2 * (reachX + kBoundsMargin), 2 * (reachY + kBoundsMargin));
}

// What the body can cover on the screen: the ellipse turned by the cell's angle, and its
// outline half the outline's width beyond.
QRectF BodyBounds(const PlacedCell& cell) {
    const double turn = qDegreesToRadians(cell.angleDeg);
    const double sine = std::sin(turn);
    const double cosine = std::cos(turn);
    const double halfOutline = cell.outlineWidth / 2;
    return Around(cell.centre, std::hypot(cell.rx * cosine, cell.ry * sine) + halfOutline,
                  std::hypot(cell.rx * sine, cell.ry * cosine) + halfOutline);
}

// What the nucleus and its dot can cover: both stay within the nucleus radius of the
// nucleus's centre, which turns with the cell.
QRectF NucleusBounds(const PlacedCell& cell) {
    const QPointF at = cell.centre + QTransform().rotate(cell.angleDeg).map(cell.nucleus);
    return Around(at, cell.nucleusRadius, cell.nucleusRadius);
}

void PaintCell(QPainter& painter, const PlacedCell& cell, bool withNucleus) {
    painter.save();
    painter.translate(cell.centre);
    painter.rotate(cell.angleDeg);
    QRadialGradient body(QPointF(0, 0), cell.rx);
    body.setColorAt(0, QColor::fromHsv(cell.hue, 50, 245));
    body.setColorAt(1, QColor::fromHsv(cell.hue, 100, 215));
    painter.setBrush(body);
    painter.setPen(QPen(QColor::fromHsv(cell.hue, 150, 150), cell.outlineWidth));
    painter.drawEllipse(QPointF(0, 0), cell.rx, cell.ry);

    if (withNucleus) {
        const double nr = cell.nucleusRadius;
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor::fromHsv((cell.hue + 330) % 360, 170, 120));
        painter.drawEllipse(cell.nucleus, nr, nr * 0.85);
        painter.setBrush(QColor::fromHsv((cell.hue + 330) % 360, 200, 70));
        painter.drawEllipse(cell.nucleus + QPointF(nr * 0.3, -nr * 0.2), nr * 0.25, nr * 0.25);
    }
    painter.restore();
}

// The screen positions of the tile copies that cover the picture.
std::vector<ViewTransform> TilesInView(const SpecimenView& view) {
    // Screen = centre + (specimen - pan) * scale; cover the screen with tile copies.
    const double left = view.panX - kPictureWidth / 2.0 / view.scale;
    const double top = view.panY - kPictureHeight / 2.0 / view.scale;
    const double right = view.panX + kPictureWidth / 2.0 / view.scale;
    const double bottom = view.panY + kPictureHeight / 2.0 / view.scale;
    const double margin = 60;  // cells and fibres reach over their tile's edge
    const int firstColumn = static_cast<int>(std::floor((left - margin) / kTileWidth));
    const int lastColumn = static_cast<int>(std::floor((right + margin) / kTileWidth));
    const int firstRow = static_cast<int>(std::floor((top - margin) / kTileHeight));
    const int lastRow = static_cast<int>(std::floor((bottom + margin) / kTileHeight));

    std::vector<ViewTransform> tiles;
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int column = firstColumn; column <= lastColumn; ++column) {
            tiles.push_back({kPictureWidth / 2.0 + (column * kTileWidth - view.panX) * view.scale,
                             kPictureHeight / 2.0 + (row * kTileHeight - view.panY) * view.scale,
                             view.scale});
        }
    }
    return tiles;
}

// The painters below are given the band the painter is clipped to (screen coordinates)
// and paint only the shapes that reach into it: a shape that stays outside would cost its
// whole rasterisation for nothing.

void PaintFibres(QPainter& painter, const Layout& layout, const std::vector<ViewTransform>& tiles,
                 const QRectF& band) {
    for (const auto& tile : tiles) {
        for (const auto& fibre : layout.fibres) {
            if (FibreBounds(fibre, tile).intersects(band)) {
                PaintFibre(painter, fibre, tile, layout.stainHue);
            }
        }
    }
}

struct CellOnScreen {
    PlacedCell cell;
    QRectF body;
    QRectF nucleus;
};

// Every tile copy's cells that reach into the picture, in the order they are painted.
// A nucleus may stick out of a long body, so both count.
std::vector<CellOnScreen> CellsOnScreen(const Layout& layout, const SpecimenView& view,
                                        const std::vector<ViewTransform>& tiles) {
    const QRectF picture(0, 0, kPictureWidth, kPictureHeight);
    std::vector<CellOnScreen> cells;
    for (const auto& tile : tiles) {
        for (const auto& cell : layout.cells) {
            const PlacedCell placed = Place(cell, tile, layout.stainHue, view.seconds);
            CellOnScreen onScreen{placed, BodyBounds(placed), NucleusBounds(placed)};
            if (onScreen.body.intersects(picture) || onScreen.nucleus.intersects(picture)) {
                cells.push_back(onScreen);
            }
        }
    }
    return cells;
}

// Qt's raster engine hands fills of many spans (antialiased shapes, tall rectangles)
// to a pool of its own threads. The microscope keeps its painting on the calling
// thread: it paints without antialiasing, at twice the size, in bands of a few device
// lines (each a clip of its own), and smooths the edges itself by averaging every 2 x 2
// pixels (HalfSize). Since no band touches another's pixels, every pixel sees the same
// shapes in the same order however the picture is cut into bands.

// Clips the painter to `height` device lines from `top` and sets it to paint at the
// picture's scale; returns that band in screen coordinates.
QRectF SetBand(QPainter& painter, int top, int height, int width) {
    painter.resetTransform();
    painter.setClipRect(0, top, width, height);
    painter.scale(kSupersampling, kSupersampling);
    return QRectF(0, static_cast<double>(top) / kSupersampling, kPictureWidth,
                  static_cast<double>(height) / kSupersampling);
}

template <typename PaintBand>
void PaintInBands(QImage& large, int bandHeight, PaintBand paintBand) {
    QPainter painter(&large);
    for (int top = 0; top < large.height(); top += bandHeight) {
        paintBand(painter, SetBand(painter, top, bandHeight, large.width()));
    }
}

// Paints the cells one after the other, each in bands of its own that start at its top
// row: a cell is rasterised once for every band it is painted in, and bands laid over
// the whole picture would cut more cells in more pieces.
void PaintCells(QImage& large, const std::vector<CellOnScreen>& cells) {
    QPainter painter(&large);
    for (const auto& onScreen : cells) {
        const QRectF covered = onScreen.body | onScreen.nucleus;
        const int first = std::max(0, static_cast<int>(std::floor(covered.top() * kSupersampling)));
        const int end = std::min(large.height(),
                                 static_cast<int>(std::ceil(covered.bottom() * kSupersampling)));
        for (int top = first; top < end; top += kConvexBandHeight) {
            const QRectF band = SetBand(painter, top, kConvexBandHeight, large.width());
            PaintCell(painter, onScreen.cell, onScreen.nucleus.intersects(band));
        }
    }
}

// Segments a..g of a seven-segment digit, bit 0 = a (top) ... bit 6 = g (middle).
constexpr std::array<uint8_t, 10> kDigitSegments = {0x3F, 0x06, 0x5B, 0x4F, 0x66,
                                                    0x6D, 0x7D, 0x07, 0x7F, 0x6F};

void PaintDigit(QPainter& painter, const QRectF& cell, int digit) {
    const QPointF tl = cell.topLeft();
    const QPointF tr = cell.topRight();
    const QPointF ml(cell.left(), cell.center().y());
    const QPointF mr(cell.right(), cell.center().y());
    const QPointF bl = cell.bottomLeft();
    const QPointF br = cell.bottomRight();
    const std::array<std::pair<QPointF, QPointF>, 7> segments = {
        {{tl, tr}, {tr, mr}, {mr, br}, {bl, br}, {ml, bl}, {tl, ml}, {ml, mr}}};
    const double gap = painter.pen().widthF() * 0.7;
    for (int s = 0; s < 7; ++s) {
        if ((kDigitSegments[digit] & (1 << s)) == 0) {
            continue;
        }
        const QPointF from = segments[s].first;
        const QPointF to = segments[s].second;
        const QPointF along = to - from;
        const double length = std::hypot(along.x(), along.y());
        const QPointF step = along * (gap / length);
        painter.drawLine(from + step, to - step);
    }
}

// Draws value's decimal digits into a row of cells; returns the right edge.
double PaintNumber(QPainter& painter, QPointF topLeft, double digitHeight, uint32_t value) {
    const QString digits = QString::number(value);
    const double width = digitHeight * 0.5;
    const double spacing = digitHeight * 0.25;
    for (int i = 0; i < digits.size(); ++i) {
        const QRectF cell(topLeft.x() + i * (width + spacing), topLeft.y(), width, digitHeight);
        PaintDigit(painter, cell, digits[i].digitValue());
    }
    return topLeft.x() + digits.size() * (width + spacing) - spacing;
}

void PaintNumberPlate(QPainter& painter, uint32_t number, const QRectF& band) {
    constexpr double kDigitHeight = 90;
    constexpr double kStroke = 12;
    constexpr double kPadding = 18;
    const int digitCount = static_cast<int>(QString::number(number).size());
    const double width = digitCount * kDigitHeight * 0.75 - kDigitHeight * 0.25;
    const QRectF plate((kPictureWidth - width) / 2 - kPadding,
                       (kPictureHeight - kDigitHeight) / 2 - kPadding, width + 2 * kPadding,
                       kDigitHeight + 2 * kPadding);
    if (!ReachesBand(plate.top(), plate.bottom(), band)) {
        return;  // the digits stay inside the plate
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 170));
    painter.drawRoundedRect(plate, 12, 12);
    painter.setPen(QPen(QColor(20, 30, 90), kStroke, Qt::SolidLine, Qt::RoundCap));
    PaintNumber(painter, plate.topLeft() + QPointF(kPadding, kPadding), kDigitHeight, number);
}

void PaintMagnificationLabel(QPainter& painter, uint32_t magnification, const QRectF& band) {
    constexpr double kDigitHeight = 18;
    constexpr double kStroke = 3;
    const QPointF origin(8, 8);
    // Digits and the cross stay within the digit height; the round caps reach beyond.
    if (!ReachesBand(origin.y() - kStroke / 2, origin.y() + kDigitHeight + kStroke / 2, band)) {
        return;
    }
    painter.setPen(QPen(QColor(255, 255, 255), kStroke, Qt::SolidLine, Qt::RoundCap));
    const double right = PaintNumber(painter, origin, kDigitHeight, magnification);
    const double x = right + 5;
    const double size = kDigitHeight * 0.5;
    const double y = origin.y() + kDigitHeight - size;
    painter.drawLine(QPointF(x, y), QPointF(x + size, y + size));
    painter.drawLine(QPointF(x + size, y), QPointF(x, y + size));
}

// Averages every 2 x 2 pixels of an RGB32 picture into an RGB888 one. Red and blue are
// summed side by side in one word, 16 bits apart, which four 8-bit values never fill.
QImage HalfSize(const QImage& large) {
    constexpr QRgb kRedBlue = 0x00FF00FF;
    constexpr QRgb kGreen = 0x0000FF00;
    // (sum + 2) / 4 of each channel: 2 added in every channel's place, then shifted by 2.
    constexpr QRgb kRedBlueRounding = 0x00020002;
    constexpr QRgb kGreenRounding = 0x00000200;
    constexpr int kAverageShift = 2;
    constexpr int kRedShift = 16 + kAverageShift;
    constexpr int kGreenShift = 8 + kAverageShift;
    constexpr int kBlueShift = kAverageShift;
    constexpr QRgb kChannel = 0xFF;
    constexpr int kChannels = 3;
    QImage small(large.width() / 2, large.height() / 2, QImage::Format_RGB888);
    const int width = small.width();
    for (int y = 0; y < small.height(); ++y) {
        const auto* upper = reinterpret_cast<const QRgb*>(large.constScanLine(2 * y));
        const auto* lower = reinterpret_cast<const QRgb*>(large.constScanLine(2 * y + 1));
        uchar* out = small.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const QRgb a = upper[2 * x];
            const QRgb b = upper[2 * x + 1];
            const QRgb c = lower[2 * x];
            const QRgb d = lower[2 * x + 1];
            const QRgb redBlue = (a & kRedBlue) + (b & kRedBlue) + (c & kRedBlue) + (d & kRedBlue) +
                                 kRedBlueRounding;
            const QRgb green =
                (a & kGreen) + (b & kGreen) + (c & kGreen) + (d & kGreen) + kGreenRounding;
            uchar* pixel = out + kChannels * x;
            pixel[0] = static_cast<uchar>((redBlue >> kRedShift) & kChannel);
            pixel[1] = static_cast<uchar>((green >> kGreenShift) & kChannel);
            pixel[2] = static_cast<uchar>((redBlue >> kBlueShift) & kChannel);
        }
    }
    return small;
}

}  // namespace

double ScaleForMagnification(std::optional<uint8_t> magnification) {
    if (!magnification) {
        return 1;
    }
    return std::clamp(kBaseScale + *magnification / kMagnificationPerScale, kMinScale, kMaxScale);
}

QImage SpecimenPainter::Paint(const SpecimenView& view) {
    const Layout layout = MakeLayout(view.slide);
    SpecimenView bounded = view;
    bounded.scale = std::clamp(view.scale, kMinScale, kMaxScale);
    const std::vector<ViewTransform> tiles = TilesInView(bounded);

    const Backdrop key{view.slide, bounded.panX, bounded.panY, bounded.scale};
    if (backdropOf_ != key || backdrop_.isNull()) {
        backdrop_ = QImage(kPictureWidth * kSupersampling, kPictureHeight * kSupersampling,
                           QImage::Format_RGB32);
        PaintInBands(backdrop_, kBandHeight, [&](QPainter& painter, const QRectF& band) {
            PaintBackground(painter, layout.stainHue);
            PaintFibres(painter, layout, tiles, band);
        });
        backdropOf_ = key;
    }
    QImage large = backdrop_.copy();
    PaintCells(large, CellsOnScreen(layout, bounded, tiles));
    PaintInBands(large, kConvexBandHeight, [&](QPainter& painter, const QRectF& band) {
        if (view.number) {
            PaintNumberPlate(painter, *view.number, band);
        }
        if (view.magnification) {
            PaintMagnificationLabel(painter, *view.magnification, band);
        }
    });
    return HalfSize(large);
}

QImage PaintSpecimen(const SpecimenView& view) {
    return SpecimenPainter().Paint(view);
}

}  // namespace dm::vm

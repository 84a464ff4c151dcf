#include "virtual-microscope/specimen_painter.h"

#include <QColor>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>
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
constexpr int kBandHeight = 32;  // device lines: few enough spans per fill
constexpr int kSupersampling = 2;

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

void PaintFibre(QPainter& painter, const Fibre& fibre, const ViewTransform& at, int stainHue) {
    QPainterPath path(at.Map(fibre.points[0].x(), fibre.points[0].y()));
    path.cubicTo(at.Map(fibre.points[1].x(), fibre.points[1].y()),
                 at.Map(fibre.points[2].x(), fibre.points[2].y()),
                 at.Map(fibre.points[3].x(), fibre.points[3].y()));
    QColor colour = QColor::fromHsv((stainHue + 20) % 360, 110, 200);
    colour.setAlpha(150);
    painter.strokePath(path, QPen(colour, fibre.width * at.scale, Qt::SolidLine, Qt::RoundCap));
}

void PaintCell(QPainter& painter, const Cell& cell, const ViewTransform& at, int stainHue,
               double seconds) {
    const double driftX = kDriftPixels * std::sin(seconds * 0.9 + cell.driftPhase);
    const double driftY = kDriftPixels * std::cos(seconds * 0.7 + cell.driftPhase * 1.3);
    const QPointF centre = at.Map(cell.x + driftX, cell.y + driftY);
    const double rx = cell.radius * at.scale;
    const double ry = rx * cell.aspect;
    const int hue = (stainHue + cell.hueShift + 360) % 360;

    painter.save();
    painter.translate(centre);
    painter.rotate(cell.angleDeg + 10 * std::sin(seconds * 0.5 + cell.driftPhase));
    QRadialGradient body(QPointF(0, 0), rx);
    body.setColorAt(0, QColor::fromHsv(hue, 50, 245));
    body.setColorAt(1, QColor::fromHsv(hue, 100, 215));
    painter.setBrush(body);
    painter.setPen(QPen(QColor::fromHsv(hue, 150, 150), std::max(1.0, 1.5 * at.scale)));
    painter.drawEllipse(QPointF(0, 0), rx, ry);

    const double wobble = 1 + 0.06 * std::sin(seconds * 2 + cell.driftPhase);
    const QPointF nucleus(cell.nucleusDx * at.scale, cell.nucleusDy * at.scale);
    const double nr = cell.nucleusRadius * at.scale * wobble;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromHsv((hue + 330) % 360, 170, 120));
    painter.drawEllipse(nucleus, nr, nr * 0.85);
    painter.setBrush(QColor::fromHsv((hue + 330) % 360, 200, 70));
    painter.drawEllipse(nucleus + QPointF(nr * 0.3, -nr * 0.2), nr * 0.25, nr * 0.25);
    painter.restore();
}

void PaintSpecimenTiles(QPainter& painter, const Layout& layout, const SpecimenView& view) {
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
    for (const auto& tile : tiles) {
        for (const auto& fibre : layout.fibres) {
            PaintFibre(painter, fibre, tile, layout.stainHue);
        }
    }
    for (const auto& tile : tiles) {
        for (const auto& cell : layout.cells) {
            PaintCell(painter, cell, tile, layout.stainHue, view.seconds);
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

void PaintNumberPlate(QPainter& painter, uint32_t number) {
    constexpr double kDigitHeight = 90;
    constexpr double kStroke = 12;
    constexpr double kPadding = 18;
    const int digitCount = static_cast<int>(QString::number(number).size());
    const double width = digitCount * kDigitHeight * 0.75 - kDigitHeight * 0.25;
    const QRectF plate((kPictureWidth - width) / 2 - kPadding,
                       (kPictureHeight - kDigitHeight) / 2 - kPadding, width + 2 * kPadding,
                       kDigitHeight + 2 * kPadding);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 170));
    painter.drawRoundedRect(plate, 12, 12);
    painter.setPen(QPen(QColor(20, 30, 90), kStroke, Qt::SolidLine, Qt::RoundCap));
    PaintNumber(painter, plate.topLeft() + QPointF(kPadding, kPadding), kDigitHeight, number);
}

void PaintMagnificationLabel(QPainter& painter, uint32_t magnification) {
    constexpr double kDigitHeight = 18;
    const QPointF origin(8, 8);
    painter.setPen(QPen(QColor(255, 255, 255), 3, Qt::SolidLine, Qt::RoundCap));
    const double right = PaintNumber(painter, origin, kDigitHeight, magnification);
    const double x = right + 5;
    const double size = kDigitHeight * 0.5;
    const double y = origin.y() + kDigitHeight - size;
    painter.drawLine(QPointF(x, y), QPointF(x + size, y + size));
    painter.drawLine(QPointF(x + size, y), QPointF(x, y + size));
}

// Averages every 2 x 2 pixels of an RGB888 picture.
QImage HalfSize(const QImage& large) {
    QImage small(large.width() / 2, large.height() / 2, QImage::Format_RGB888);
    for (int y = 0; y < small.height(); ++y) {
        const uchar* upper = large.constScanLine(2 * y);
        const uchar* lower = large.constScanLine(2 * y + 1);
        uchar* out = small.scanLine(y);
        for (int x = 0; x < small.width() * 3; x += 3) {
            for (int c = 0; c < 3; ++c) {
                const int left = 2 * x + c;
                const int right = left + 3;
                out[x + c] = static_cast<uchar>(
                    (upper[left] + upper[right] + lower[left] + lower[right] + 2) / 4);
            }
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

QImage PaintSpecimen(const SpecimenView& view) {
    const Layout layout = MakeLayout(view.slide);
    SpecimenView bounded = view;
    bounded.scale = std::clamp(view.scale, kMinScale, kMaxScale);

    // Qt's raster engine hands fills of many spans (antialiased shapes, tall rectangles)
    // to a pool of its own threads. The microscope keeps its painting on the calling
    // thread: it paints without antialiasing, in bands of a few lines, at twice the size,
    // and smooths the edges itself by averaging every 2 x 2 pixels.
    QImage large(kPictureWidth * kSupersampling, kPictureHeight * kSupersampling,
                 QImage::Format_RGB888);
    QPainter painter(&large);
    for (int top = 0; top < large.height(); top += kBandHeight) {
        painter.resetTransform();
        painter.setClipRect(0, top, large.width(), kBandHeight);
        painter.scale(kSupersampling, kSupersampling);
        PaintBackground(painter, layout.stainHue);
        PaintSpecimenTiles(painter, layout, bounded);
        if (view.number) {
            PaintNumberPlate(painter, *view.number);
        }
        if (view.magnification) {
            PaintMagnificationLabel(painter, *view.magnification);
        }
    }
    painter.end();
    return HalfSize(large);
}

}  // namespace dm::vm

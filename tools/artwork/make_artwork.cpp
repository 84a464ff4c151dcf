// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the program's pictures into data/: the button glyphs, the logos, the start-up
// picture, the About picture and the window icon; and, given a second folder, the desktop
// icon in the sizes the icon theme wants (<folder>/<n>x<n>/digital-microscope.png). Built
// with the program (target make-artwork) but run only to change the artwork; commit the
// files it writes:
//
//   QT_QPA_PLATFORM=offscreen build/make-artwork data packaging/icons
//
// Glyphs are 24-bit BMP files whose bottom-left pixel is the background colour (magenta):
// the window makes that colour transparent. Edges are drawn smooth and then settled onto
// the button face colour, so no magenta fringe remains.

#include <algorithm>
#include <cmath>
#include <functional>
#include <tuple>

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>

namespace {

const QColor kKey(255, 0, 255);
const QColor kFace(239, 239, 239);
constexpr int kOpaqueFrom = 110;  // alpha at and above which an edge pixel is kept

const QColor kInk(45, 52, 64);
const QColor kBlue(38, 110, 200);
const QColor kBlueDark(20, 66, 140);
const QColor kGreen(46, 160, 67);
const QColor kGreenDark(24, 110, 40);
const QColor kRed(215, 48, 39);
const QColor kRedDark(150, 24, 20);
const QColor kGold(236, 178, 46);
const QColor kGoldDark(176, 120, 18);
const QColor kSteel(150, 160, 172);
const QColor kSteelLight(214, 220, 228);

using Painter = std::function<void(QPainter&)>;

// Draws in a unit space of `design` x `design` scaled onto the image.
QImage Render(QSize size, double designWidth, double designHeight, const Painter& paint) {
    QImage canvas(size, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.scale(size.width() / designWidth, size.height() / designHeight);
    paint(painter);
    painter.end();
    return canvas;
}

// Flattens a drawing onto the button face; what stays see-through becomes the key colour.
QImage ToGlyph(const QImage& drawing) {
    QImage straight = drawing.convertToFormat(QImage::Format_ARGB32);
    QImage glyph(straight.size(), QImage::Format_RGB888);
    for (int y = 0; y < straight.height(); ++y) {
        for (int x = 0; x < straight.width(); ++x) {
            const QColor c = QColor::fromRgba(straight.pixel(x, y));
            if (c.alpha() < kOpaqueFrom) {
                glyph.setPixelColor(x, y, kKey);
                continue;
            }
            const double a = c.alphaF();
            glyph.setPixelColor(x, y,
                                QColor(qRound(c.red() * a + kFace.red() * (1 - a)),
                                       qRound(c.green() * a + kFace.green() * (1 - a)),
                                       qRound(c.blue() * a + kFace.blue() * (1 - a))));
        }
    }
    glyph.setPixelColor(0, glyph.height() - 1, kKey);
    return glyph;
}

QImage Flatten(const QImage& drawing, const QColor& background) {
    QImage out(drawing.size(), QImage::Format_RGB888);
    out.fill(background);
    QPainter painter(&out);
    painter.drawImage(0, 0, drawing);
    return out;
}

QBrush Vertical(const QColor& top, const QColor& bottom, double y0, double y1) {
    QLinearGradient g(0, y0, 0, y1);
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    return g;
}

QPen Outline(const QColor& colour, double width = 1.2) {
    QPen pen(colour, width);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

// ---- shared pieces (40 x 40 design space unless said otherwise) ----

void Badge(QPainter& p, QPointF centre, double radius, const QColor& light, const QColor& dark) {
    QRadialGradient g(centre - QPointF(radius * 0.35, radius * 0.35), radius * 1.4);
    g.setColorAt(0, light.lighter(135));
    g.setColorAt(1, dark);
    p.setPen(Outline(dark.darker(130), 1.0));
    p.setBrush(g);
    p.drawEllipse(centre, radius, radius);
}

void ChainLink(QPainter& p, QPointF centre, double angle, const QColor& colour) {
    p.save();
    p.translate(centre);
    p.rotate(angle);
    p.setBrush(Qt::NoBrush);
    p.setPen(Outline(colour.darker(140), 5.2));
    p.drawRoundedRect(QRectF(-8, -4, 16, 8), 4, 4);
    p.setPen(Outline(colour, 3.2));
    p.drawRoundedRect(QRectF(-8, -4, 16, 8), 4, 4);
    p.restore();
}

void CameraBody(QPainter& p) {
    p.setPen(Outline(kInk, 1.2));
    p.setBrush(Vertical(QColor(110, 118, 130), QColor(52, 58, 68), 10, 34));
    QPainterPath body;
    body.addRoundedRect(QRectF(3, 12, 34, 22), 4, 4);
    body.addRoundedRect(QRectF(12, 8, 14, 6), 2, 2);
    p.drawPath(body.simplified());
    QRadialGradient glass(QPointF(18, 21), 9);
    glass.setColorAt(0, QColor(150, 205, 255));
    glass.setColorAt(0.6, kBlue);
    glass.setColorAt(1, kBlueDark);
    p.setBrush(kSteelLight);
    p.drawEllipse(QPointF(20, 23), 8.5, 8.5);
    p.setBrush(glass);
    p.drawEllipse(QPointF(20, 23), 6, 6);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawEllipse(QPointF(18, 21), 1.8, 1.8);
    p.setBrush(QColor(255, 240, 170));
    p.drawRoundedRect(QRectF(30, 15, 4, 2.5), 1, 1);
}

void Tray(QPainter& p) {
    p.setPen(Outline(kInk, 1.2));
    p.setBrush(Vertical(kSteelLight, kSteel, 26, 36));
    QPainterPath tray;
    tray.moveTo(4, 26);
    tray.lineTo(10, 26);
    tray.lineTo(13, 30);
    tray.lineTo(27, 30);
    tray.lineTo(30, 26);
    tray.lineTo(36, 26);
    tray.lineTo(36, 36);
    tray.lineTo(4, 36);
    tray.closeSubpath();
    p.drawPath(tray);
}

void Arrow(QPainter& p, bool down, const QColor& light, const QColor& dark) {
    QPainterPath arrow;
    if (down) {
        arrow.moveTo(15, 3);
        arrow.lineTo(25, 3);
        arrow.lineTo(25, 14);
        arrow.lineTo(31, 14);
        arrow.lineTo(20, 27);
        arrow.lineTo(9, 14);
        arrow.lineTo(15, 14);
    } else {
        arrow.moveTo(15, 27);
        arrow.lineTo(25, 27);
        arrow.lineTo(25, 15);
        arrow.lineTo(31, 15);
        arrow.lineTo(20, 2);
        arrow.lineTo(9, 15);
        arrow.lineTo(15, 15);
    }
    arrow.closeSubpath();
    p.setPen(Outline(dark, 1.2));
    p.setBrush(Vertical(light, dark, 2, 27));
    p.drawPath(arrow);
}

void Floppy(QPainter& p, QPointF at, double scale) {
    p.save();
    p.translate(at);
    p.scale(scale, scale);
    QPainterPath body;
    body.moveTo(0, 2);
    body.quadTo(0, 0, 2, 0);
    body.lineTo(25, 0);
    body.lineTo(30, 5);
    body.lineTo(30, 28);
    body.quadTo(30, 30, 28, 30);
    body.lineTo(2, 30);
    body.quadTo(0, 30, 0, 28);
    body.closeSubpath();
    p.setPen(Outline(kBlueDark, 1.2));
    p.setBrush(Vertical(kBlue.lighter(120), kBlueDark, 0, 30));
    p.drawPath(body);
    p.setPen(Outline(kInk, 0.8));
    p.setBrush(Vertical(QColor(240, 242, 245), kSteelLight, 0, 11));
    p.drawRect(QRectF(7, 0.6, 16, 10));
    p.setBrush(QColor(70, 78, 90));
    p.drawRect(QRectF(17, 2.5, 4, 6.5));
    p.setBrush(QColor(252, 252, 252));
    p.drawRoundedRect(QRectF(4, 15, 22, 13), 1.5, 1.5);
    p.setPen(Outline(QColor(150, 170, 200), 0.9));
    for (double y : {19.0, 22.5, 26.0}) {
        p.drawLine(QPointF(7, y), QPointF(23, y));
    }
    p.restore();
}

void Photo(QPainter& p, QRectF frame) {
    p.setPen(Outline(kInk, 1.1));
    p.setBrush(QColor(252, 252, 252));
    p.drawRoundedRect(frame, 1.5, 1.5);
    const QRectF inner = frame.adjusted(2.5, 2.5, -2.5, -2.5);
    p.setPen(Qt::NoPen);
    p.setBrush(Vertical(QColor(140, 200, 250), QColor(200, 230, 255), inner.top(), inner.bottom()));
    p.drawRect(inner);
    QPainterPath hills;
    hills.moveTo(inner.left(), inner.bottom());
    hills.lineTo(inner.left() + inner.width() * 0.35, inner.top() + inner.height() * 0.45);
    hills.lineTo(inner.left() + inner.width() * 0.55, inner.top() + inner.height() * 0.7);
    hills.lineTo(inner.left() + inner.width() * 0.75, inner.top() + inner.height() * 0.5);
    hills.lineTo(inner.right(), inner.bottom());
    hills.closeSubpath();
    p.setBrush(kGreen);
    p.drawPath(hills);
    p.setBrush(kGold);
    p.drawEllipse(QPointF(inner.right() - inner.width() * 0.2, inner.top() + inner.height() * 0.28),
                  inner.height() * 0.14, inner.height() * 0.14);
}

void RedCross(QPainter& p, QPointF centre, double radius) {
    Badge(p, centre, radius, kRed, kRedDark);
    p.setPen(Outline(Qt::white, radius * 0.32));
    const double d = radius * 0.42;
    p.drawLine(centre + QPointF(-d, -d), centre + QPointF(d, d));
    p.drawLine(centre + QPointF(-d, d), centre + QPointF(d, -d));
}

void Magnifier(QPainter& p, bool plus) {
    // 32 x 32 design space.
    p.setPen(Outline(QColor(90, 60, 30), 5.5));
    p.drawLine(QPointF(19.5, 19.5), QPointF(28.5, 28.5));
    p.setPen(Outline(QColor(150, 100, 50), 3.5));
    p.drawLine(QPointF(20, 20), QPointF(28, 28));
    QRadialGradient glass(QPointF(10, 10), 13);
    glass.setColorAt(0, QColor(235, 248, 255));
    glass.setColorAt(1, QColor(150, 200, 240));
    p.setPen(Outline(kInk, 2.6));
    p.setBrush(glass);
    p.drawEllipse(QPointF(13, 13), 10, 10);
    p.setPen(Outline(kBlueDark, 2.8));
    p.drawLine(QPointF(8.5, 13), QPointF(17.5, 13));
    if (plus) {
        p.drawLine(QPointF(13, 8.5), QPointF(13, 17.5));
    }
}

void PadArrow(QPainter& p, double angle) {
    // 44 x 22 design space, pointing up before rotation about the centre.
    p.translate(22, 11);
    p.rotate(angle);
    QPainterPath arrow;
    arrow.moveTo(0, -9);
    arrow.lineTo(13, 7);
    arrow.lineTo(-13, 7);
    arrow.closeSubpath();
    p.setPen(Outline(kBlueDark, 1.4));
    p.setBrush(Vertical(kBlue.lighter(140), kBlueDark, -9, 7));
    p.drawPath(arrow);
}

// A stylised microscope in a 40 x 48 design space.
void Microscope(QPainter& p, const QColor& body, const QColor& accent) {
    p.setPen(Outline(body.darker(160), 1.0));
    // base
    p.setBrush(Vertical(body.lighter(130), body.darker(120), 40, 47));
    p.drawRoundedRect(QRectF(6, 41, 30, 6), 2.5, 2.5);
    // arm
    QPainterPath arm;
    arm.moveTo(26, 41);
    arm.cubicTo(34, 34, 34, 18, 24, 12);
    arm.lineTo(21, 16);
    arm.cubicTo(28, 20, 28, 32, 21, 38);
    arm.closeSubpath();
    p.setBrush(Vertical(body.lighter(125), body.darker(110), 12, 41));
    p.drawPath(arm);
    // stage with a slide
    p.setBrush(Vertical(body.lighter(120), body.darker(120), 30, 33));
    p.drawRoundedRect(QRectF(6, 30, 20, 3.5), 1, 1);
    p.setBrush(accent);
    p.drawRect(QRectF(9, 28.8, 10, 1.4));
    // tube, eyepiece and objective
    p.save();
    p.translate(14, 16);
    p.rotate(-28);
    p.setBrush(Vertical(QColor(245, 247, 250), body.lighter(120), -16, 10));
    p.drawRoundedRect(QRectF(-3.5, -13, 7, 22), 1.5, 1.5);
    p.setBrush(Vertical(body.lighter(115), body.darker(130), -17, -12));
    p.drawRoundedRect(QRectF(-4.5, -17, 9, 5), 1.5, 1.5);
    p.setBrush(accent);
    p.drawRect(QRectF(-3.5, 1.5, 7, 2));
    p.setBrush(Vertical(body.lighter(110), body.darker(140), 9, 14));
    p.drawRoundedRect(QRectF(-2.5, 9, 5, 5), 1, 1);
    p.restore();
    // focus knob
    p.setBrush(Vertical(body.lighter(140), body.darker(130), 22, 30));
    p.drawEllipse(QPointF(28.5, 26), 3, 3);
}

// ---- the pictures ----

void Connect(QPainter& p) {
    Badge(p, {20, 20}, 18, kGreen, kGreenDark);
    ChainLink(p, {14.5, 20}, -35, QColor(250, 250, 250));
    ChainLink(p, {25.5, 20}, -35, QColor(250, 250, 250));
}

void Disconnect(QPainter& p) {
    Badge(p, {20, 20}, 18, kRed, kRedDark);
    ChainLink(p, {10.5, 26}, -35, QColor(250, 250, 250));
    ChainLink(p, {29.5, 14}, -35, QColor(250, 250, 250));
    p.setPen(Outline(QColor(255, 230, 120), 1.8));
    p.drawLine(QPointF(15.5, 13.5), QPointF(18, 17));
    p.drawLine(QPointF(21.5, 11), QPointF(21.5, 15.5));
    p.drawLine(QPointF(24.5, 26.5), QPointF(22, 23));
    p.drawLine(QPointF(18.5, 29), QPointF(18.5, 24.5));
}

void CameraOn(QPainter& p) {
    CameraBody(p);
    Badge(p, {33, 33}, 6, kGreen, kGreenDark);
    p.setPen(Outline(Qt::white, 1.8));
    p.drawLine(QPointF(33, 29.5), QPointF(33, 33));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(29.2, 29.8, 7.6, 7.6), 120 * 16, 300 * 16);
}

void CameraOff(QPainter& p) {
    CameraBody(p);
    p.setPen(Outline(Qt::white, 6));
    p.drawLine(QPointF(6, 6), QPointF(35, 35));
    p.setPen(Outline(kRed, 3.6));
    p.drawLine(QPointF(6, 6), QPointF(35, 35));
}

void Download(QPainter& p) {
    Tray(p);
    Arrow(p, /*down=*/true, QColor(110, 190, 255), kBlueDark);
}

void Upload(QPainter& p) {
    Tray(p);
    Arrow(p, /*down=*/false, QColor(255, 200, 110), QColor(200, 110, 20));
}

void SaveOne(QPainter& p) {
    Floppy(p, {4, 4}, 1.07);
}

void SaveAll(QPainter& p) {
    Floppy(p, {12, 2}, 0.87);
    Floppy(p, {2, 12}, 0.87);
}

void Delete(QPainter& p) {
    Photo(p, QRectF(2, 6, 30, 24));
    RedCross(p, {29, 29}, 9);
}

void DeleteAll(QPainter& p) {
    Photo(p, QRectF(10, 2, 26, 20));
    Photo(p, QRectF(6, 7, 26, 20));
    Photo(p, QRectF(2, 12, 26, 20));
    RedCross(p, {29, 29}, 9);
}

void Snapshot(QPainter& p) {
    // Viewfinder corners around a shutter dot, with a flash.
    p.setPen(Outline(kInk, 3));
    p.setBrush(Qt::NoBrush);
    const double a = 4, b = 36, l = 9;
    for (auto [x, y, dx, dy] : {std::tuple{a, a, 1.0, 1.0}, std::tuple{b, a, -1.0, 1.0},
                                std::tuple{a, b, 1.0, -1.0}, std::tuple{b, b, -1.0, -1.0}}) {
        p.drawLine(QPointF(x, y), QPointF(x + dx * l, y));
        p.drawLine(QPointF(x, y), QPointF(x, y + dy * l));
    }
    Badge(p, {20, 21}, 8.5, kRed, kRedDark);
    p.setPen(Outline(kGoldDark, 0.8));
    p.setBrush(Vertical(QColor(255, 240, 120), kGold, 4, 18));
    QPainterPath bolt;
    bolt.moveTo(27, 3);
    bolt.lineTo(21, 11);
    bolt.lineTo(25, 11);
    bolt.lineTo(22, 18);
    bolt.lineTo(30, 8.5);
    bolt.lineTo(26, 8.5);
    bolt.lineTo(29, 3);
    bolt.closeSubpath();
    p.drawPath(bolt);
}

void Exit(QPainter& p) {
    // Door frame, open door, arrow leaving.
    p.setPen(Outline(kInk, 1.2));
    p.setBrush(QColor(60, 60, 70));
    p.drawRect(QRectF(6, 4, 20, 32));
    QPainterPath door;
    door.moveTo(6, 4);
    door.lineTo(17, 8);
    door.lineTo(17, 39);
    door.lineTo(6, 36);
    door.closeSubpath();
    p.setBrush(Vertical(QColor(200, 140, 80), QColor(130, 80, 35), 4, 39));
    p.drawPath(door);
    p.setBrush(kGold);
    p.drawEllipse(QPointF(14.5, 22), 1.3, 1.3);
    QPainterPath arrow;
    arrow.moveTo(20, 17);
    arrow.lineTo(29, 17);
    arrow.lineTo(29, 11);
    arrow.lineTo(38, 20.5);
    arrow.lineTo(29, 30);
    arrow.lineTo(29, 24);
    arrow.lineTo(20, 24);
    arrow.closeSubpath();
    p.setPen(Outline(kGreenDark, 1.2));
    p.setBrush(Vertical(QColor(120, 220, 120), kGreenDark, 11, 30));
    p.drawPath(arrow);
}

void Lock(QPainter& p) {
    // 32 x 32 design space.
    p.setBrush(Qt::NoBrush);
    p.setPen(Outline(QColor(90, 98, 110), 4.4));
    p.drawArc(QRectF(9, 3, 14, 18), 0, 180 * 16);
    p.drawLine(QPointF(9, 12), QPointF(9, 15));
    p.drawLine(QPointF(23, 12), QPointF(23, 15));
    p.setPen(Outline(kSteelLight, 2));
    p.drawArc(QRectF(9, 3, 14, 18), 20 * 16, 140 * 16);
    p.setPen(Outline(kGoldDark, 1.2));
    p.setBrush(Vertical(QColor(255, 220, 110), kGoldDark, 14, 30));
    p.drawRoundedRect(QRectF(5, 14, 22, 16), 3, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawEllipse(QPointF(16, 20.5), 2.4, 2.4);
    p.drawRect(QRectF(15, 21, 2, 5));
}

void Central(QPainter& p) {
    // 26 x 26 design space.
    Badge(p, {13, 13}, 11, kBlue, kBlueDark);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 230));
    p.drawEllipse(QPointF(13, 13), 4, 4);
}

void Logo(QPainter& p, double width, double height) {
    // Microscope on the left, "DM" on the right over a thin rule.
    const double scale = height / 50.0;
    p.save();
    p.translate(1, (height - 48 * scale) / 2);
    p.scale(scale, scale);
    Microscope(p, QColor(70, 82, 100), kBlue);
    p.restore();
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    const QRectF text(38 * scale, height * 0.14, width - 38 * scale - 1, height * 0.56);
    font.setPixelSize(static_cast<int>(std::min(height * 0.44, text.width() * 0.6)));
    p.setFont(font);
    p.setPen(kBlueDark);
    p.drawText(text, Qt::AlignCenter, QStringLiteral("DM"));
    p.setPen(Outline(kBlue, 1.6));
    p.drawLine(QPointF(text.left() + 3, height * 0.76), QPointF(text.right() - 3, height * 0.76));
}

void StartupPicture(QPainter& p) {
    // 320 x 240.
    QRadialGradient sky(QPointF(160, 90), 230);
    sky.setColorAt(0, QColor(40, 90, 150));
    sky.setColorAt(1, QColor(8, 20, 40));
    p.fillRect(QRectF(0, 0, 320, 240), sky);
    // a soft "specimen" circle with cells
    QRadialGradient lens(QPointF(160, 86), 62);
    lens.setColorAt(0, QColor(230, 245, 255, 235));
    lens.setColorAt(0.85, QColor(150, 200, 235, 220));
    lens.setColorAt(1, QColor(80, 130, 190, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(lens);
    p.drawEllipse(QPointF(160, 86), 62, 62);
    const struct {
        double x, y, r;
    } cells[] = {{140, 70, 13}, {176, 64, 10}, {168, 100, 15}, {134, 104, 9}, {190, 90, 7}};
    for (const auto& c : cells) {
        p.setPen(QPen(QColor(60, 140, 90, 200), 1.6));
        p.setBrush(QColor(140, 210, 160, 150));
        p.drawEllipse(QPointF(c.x, c.y), c.r, c.r * 0.8);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(90, 60, 140, 190));
        p.drawEllipse(QPointF(c.x + c.r * 0.2, c.y - c.r * 0.1), c.r * 0.3, c.r * 0.3);
    }
    p.save();
    p.translate(232, 40);
    p.scale(1.6, 1.6);
    Microscope(p, QColor(215, 222, 232), kGold);
    p.restore();
    QFont title(QStringLiteral("DejaVu Sans"));
    title.setBold(true);
    title.setPixelSize(24);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 154, 320, 32), Qt::AlignCenter, QStringLiteral("Digital Microscope"));
    // Rows 188 to 209 stay free for the window's prompt, in the user's language.
    p.save();
    p.translate(148, 212);
    p.scale(0.6, 0.6);
    Connect(p);
    p.restore();
}

void AboutPicture(QPainter& p) {
    // 320 x 193; rows 56 to 136 show above the text frame.
    p.fillRect(QRectF(0, 0, 320, 193), Vertical(QColor(30, 80, 150), QColor(10, 30, 70), 40, 140));
    p.save();
    p.translate(24, 66);
    p.scale(1.3, 1.3);
    Microscope(p, QColor(215, 222, 232), kGold);
    p.restore();
    QFont title(QStringLiteral("DejaVu Sans"));
    title.setBold(true);
    title.setPixelSize(19);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRectF(90, 68, 225, 30), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Digital Microscope"));
    QFont line(QStringLiteral("DejaVu Sans"));
    line.setPixelSize(11);
    p.setFont(line);
    p.setPen(QColor(200, 225, 255));
    p.drawText(QRectF(92, 98, 225, 24), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("look closer, capture, keep"));
}

bool WriteImage(const QImage& image, const QString& folder, const char* name, const char* format) {
    const QString path = QDir(folder).filePath(QString::fromLatin1(name));
    if (!image.save(path, format)) {
        QTextStream(stderr) << "cannot write " << path << "\n";
        return false;
    }
    return true;
}

bool Glyph(const QString& folder, const char* name, QSize size, double w, double h,
           const Painter& paint) {
    return WriteImage(ToGlyph(Render(size, w, h, paint)), folder, name, "BMP");
}

}  // namespace

// The microscope drawn at the size of each theme icon: strokes stay crisp at every size.
bool DesktopIcons(const QString& folder) {
    constexpr int kIconSizes[] = {48, 128, 256};
    bool ok = true;
    for (const int size : kIconSizes) {
        const QString sizeFolder = QStringLiteral("%1x%1").arg(size);
        QDir(folder).mkpath(sizeFolder);
        // A margin all round, as theme icons have.
        const QImage icon = Render({size, size}, 54, 54, [](QPainter& p) {
            p.translate(7, 3);
            Microscope(p, QColor(70, 82, 100), kBlue);
        });
        ok &= WriteImage(icon, QDir(folder).filePath(sizeFolder), "digital-microscope.png", "PNG");
    }
    return ok;
}

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        QTextStream(stderr) << "usage: make-artwork <data folder> [<icon theme folder>]\n";
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QSize big(40, 40);
    bool ok = true;
    ok &= Glyph(folder, "Connect.bmp", big, 40, 40, Connect);
    ok &= Glyph(folder, "Disconnect.bmp", big, 40, 40, Disconnect);
    ok &= Glyph(folder, "Camera-On.bmp", big, 40, 40, CameraOn);
    ok &= Glyph(folder, "Camera-Off.bmp", big, 40, 40, CameraOff);
    ok &= Glyph(folder, "Download.bmp", big, 40, 40, Download);
    ok &= Glyph(folder, "Upload.bmp", big, 40, 40, Upload);
    ok &= Glyph(folder, "Save.bmp", big, 40, 40, SaveOne);
    ok &= Glyph(folder, "SaveAll.bmp", big, 40, 40, SaveAll);
    ok &= Glyph(folder, "Delete.bmp", big, 40, 40, Delete);
    ok &= Glyph(folder, "DeleteAll.bmp", big, 40, 40, DeleteAll);
    ok &= Glyph(folder, "Snapshot.bmp", big, 40, 40, Snapshot);
    ok &= Glyph(folder, "Exit.bmp", big, 40, 40, Exit);
    ok &= Glyph(folder, "ZoomIn.bmp", {32, 32}, 32, 32, [](QPainter& p) { Magnifier(p, true); });
    ok &= Glyph(folder, "ZoomOut.bmp", {32, 32}, 32, 32, [](QPainter& p) { Magnifier(p, false); });
    ok &= Glyph(folder, "Lock.bmp", {32, 32}, 32, 32, Lock);
    ok &= Glyph(folder, "Central.bmp", {26, 26}, 26, 26, Central);
    ok &= Glyph(folder, "Up.bmp", {44, 22}, 44, 22, [](QPainter& p) { PadArrow(p, 0); });
    ok &= Glyph(folder, "Down.bmp", {44, 22}, 44, 22, [](QPainter& p) { PadArrow(p, 180); });
    // The side arrows are drawn in the same landscape space, then turned upright.
    const QImage left = Render({44, 22}, 44, 22, [](QPainter& p) { PadArrow(p, 0); });
    ok &=
        WriteImage(ToGlyph(left.transformed(QTransform().rotate(-90))), folder, "Left.bmp", "BMP");
    ok &=
        WriteImage(ToGlyph(left.transformed(QTransform().rotate(90))), folder, "Right.bmp", "BMP");

    ok &= WriteImage(Flatten(Render({75, 50}, 75, 50, [](QPainter& p) { Logo(p, 75, 50); }), kFace),
                     folder, "Logo.bmp", "BMP");
    ok &= WriteImage(Flatten(Render({81, 57}, 81, 57, [](QPainter& p) { Logo(p, 81, 57); }), kFace),
                     folder, "Small_Logo.bmp", "BMP");
    ok &= WriteImage(Flatten(Render({320, 240}, 320, 240, StartupPicture), Qt::black), folder,
                     "Startup.bmp", "BMP");
    ok &= WriteImage(Flatten(Render({320, 193}, 320, 193, AboutPicture), Qt::black), folder,
                     "About.bmp", "BMP");
    const QImage icon = Render({64, 64}, 48, 48, [](QPainter& p) {
        p.translate(4, 0);
        Microscope(p, QColor(70, 82, 100), kBlue);
    });
    ok &= WriteImage(icon, folder, "Microscope.png", "PNG");
    if (argc == 3) {
        ok &= DesktopIcons(QString::fromLocal8Bit(argv[2]));
    }
    return ok ? 0 : 1;
}

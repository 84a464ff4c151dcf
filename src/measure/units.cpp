// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/units.h"

#include <algorithm>
#include <cmath>

namespace dm::measure {

namespace {

constexpr double kMicrometresPerMillimetre = 1000.0;
constexpr int kMostDecimals = 6;
const QString kMicroSign = QString(QChar(0x00B5));
const QString kSquared = QString(QChar(0x00B2));
const QString kAlmostEqual = QString(QChar(0x2248));
const QString kDegree = QString(QChar(0x00B0));

QString Number(double amount, int decimals) {
    return QString::number(amount, 'f', decimals);
}

int DecimalsOf(const UnitChoice& choice) {
    return std::clamp(choice.decimals, 0, kMostDecimals);
}

// Automatic choice: millimetres from 1 mm up, micrometres below, judged on the number
// as it will be written, so that 0.9999996 mm shows as 1.000 mm, never as 1000.000 µm.
bool InMicrometres(double millimetres, const UnitChoice& choice) {
    switch (choice.unit) {
        case LengthUnit::kMicrometre:
            return true;
        case LengthUnit::kMillimetre:
        case LengthUnit::kPixel:
            return false;
        case LengthUnit::kAuto:
            break;
    }
    const double micrometres = millimetres * kMicrometresPerMillimetre;
    return Number(micrometres, DecimalsOf(choice)).toDouble() < kMicrometresPerMillimetre;
}

ShownValue PixelValue(double pixels, bool area, int decimals) {
    return {Number(pixels, decimals),
            area ? QStringLiteral("px") + kSquared : QStringLiteral("px")};
}

ShownValue ScaledValue(const Value& value, const PictureScale& scale, const UnitChoice& choice) {
    const bool area = value.quantity == Quantity::kArea;
    const int decimals = DecimalsOf(choice);
    if (choice.unit == LengthUnit::kPixel && scale.Known()) {
        const double perMm = scale.pixelsPerMillimetre;
        return PixelValue(value.amount * (area ? perMm * perMm : perMm), area, decimals);
    }
    // An area takes the unit its side would take.
    const double side = area ? std::sqrt(value.amount) : value.amount;
    const bool micro = InMicrometres(side, choice);
    const double factor = micro ? kMicrometresPerMillimetre : 1.0;
    const double amount = value.amount * (area ? factor * factor : factor);
    const QString unit = (micro ? kMicroSign + QStringLiteral("m") : QStringLiteral("mm")) +
                         (area ? kSquared : QString());
    const QString approximate = scale.source == ScaleSource::kNominal ? kAlmostEqual : QString();
    return {approximate + Number(amount, decimals), unit};
}

}  // namespace

ShownValue Show(const Value& value, const PictureScale& scale, const UnitChoice& choice) {
    const int decimals = DecimalsOf(choice);
    switch (value.quantity) {
        case Quantity::kNumber:
            return {Number(value.amount, 0), QString()};
        case Quantity::kAngle:
            return {Number(value.amount, decimals), kDegree};
        case Quantity::kCoordinate:
            return PixelValue(value.amount, false, decimals);
        case Quantity::kLength:
        case Quantity::kArea:
            break;
    }
    if (value.inPixels) {
        return PixelValue(value.amount, value.quantity == Quantity::kArea, decimals);
    }
    return ScaledValue(value, scale, choice);
}

}  // namespace dm::measure

// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/measurement_sheet.h"

#include <limits>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "view/picture_files.h"

namespace dm::measure {

namespace {

const QString kFormatName = QStringLiteral("digital-microscope-measurements");
constexpr int kVersion = 1;
const QString kSheetSuffix = QStringLiteral(".measurements.json");
const char* const kDateFormat = "yyyy-MM-dd";

const QString kFormatKey = QStringLiteral("format");
const QString kVersionKey = QStringLiteral("version");
const QString kPictureKey = QStringLiteral("picture");
const QString kWidthKey = QStringLiteral("width");
const QString kHeightKey = QStringLiteral("height");
const QString kZoomCodeKey = QStringLiteral("zoomCode");
const QString kScaleKey = QStringLiteral("scale");
const QString kSourceKey = QStringLiteral("source");
const QString kPixelsKey = QStringLiteral("pixelsPerMillimetre");
const QString kCalibratedKey = QStringLiteral("calibrated");
const QString kMeasurementsKey = QStringLiteral("measurements");
const QString kToolKey = QStringLiteral("tool");
const QString kGroupKey = QStringLiteral("group");
const QString kPointsKey = QStringLiteral("points");

struct SourceName {
    ScaleSource source;
    const char* name;
};
constexpr SourceName kSourceNames[] = {{ScaleSource::kNone, "none"},
                                       {ScaleSource::kNominal, "nominal"},
                                       {ScaleSource::kCalibrated, "calibrated"}};

QString SourceName(ScaleSource source) {
    for (const auto& entry : kSourceNames) {
        if (entry.source == source) {
            return QString::fromLatin1(entry.name);
        }
    }
    return {};
}

std::optional<ScaleSource> SourceFromName(const QString& name) {
    for (const auto& entry : kSourceNames) {
        if (name == QLatin1String(entry.name)) {
            return entry.source;
        }
    }
    return std::nullopt;
}

QJsonObject ScaleToJson(const PictureScale& scale) {
    QJsonObject object{{kSourceKey, SourceName(scale.source)}};
    if (scale.Known()) {
        object[kPixelsKey] = scale.pixelsPerMillimetre;
    }
    if (scale.source == ScaleSource::kCalibrated) {
        object[kCalibratedKey] = scale.calibratedOn.toString(QString::fromLatin1(kDateFormat));
    }
    return object;
}

QJsonObject MeasurementToJson(const Measurement& measurement) {
    QJsonArray points;
    for (const QPointF& point : measurement.points) {
        points.append(QJsonArray{point.x(), point.y()});
    }
    QJsonObject object{{kToolKey, QString::fromLatin1(ToolKey(measurement.tool))},
                       {kPointsKey, points}};
    if (measurement.tool == Tool::kCount) {
        object[kGroupKey] = measurement.group;
    }
    return object;
}

// Reading: the first thing found wrong ends the reading with what it was.
struct Damage {
    QString detail;
};

int WholeNumber(const QJsonValue& value, int least, int most, const QString& what) {
    const double number = value.toDouble(std::numeric_limits<double>::quiet_NaN());
    if (!value.isDouble() || number != static_cast<double>(static_cast<long long>(number)) ||
        number < least || number > most) {
        throw Damage{QStringLiteral("%1 is not a whole number from %2 to %3")
                         .arg(what)
                         .arg(least)
                         .arg(most)};
    }
    return static_cast<int>(number);
}

PictureScale ScaleFromJson(const QJsonValue& value) {
    if (!value.isObject()) {
        throw Damage{QStringLiteral("the scale is missing")};
    }
    const QJsonObject object = value.toObject();
    const std::optional<ScaleSource> source = SourceFromName(object[kSourceKey].toString());
    if (!source) {
        throw Damage{QStringLiteral("the scale's source is unknown")};
    }
    PictureScale scale;
    scale.source = *source;
    if (scale.Known()) {
        scale.pixelsPerMillimetre = object[kPixelsKey].toDouble(0.0);
        if (!(scale.pixelsPerMillimetre > 0.0)) {
            throw Damage{QStringLiteral("the scale has no positive pixels per millimetre")};
        }
    }
    if (scale.source == ScaleSource::kCalibrated) {
        scale.calibratedOn =
            QDate::fromString(object[kCalibratedKey].toString(), QString::fromLatin1(kDateFormat));
        if (!scale.calibratedOn.isValid()) {
            throw Damage{QStringLiteral("the calibration has no valid date")};
        }
    }
    return scale;
}

QPointF PointFromJson(const QJsonValue& value, int number) {
    const QJsonArray pair = value.toArray();
    if (!value.isArray() || pair.size() != 2 || !pair[0].isDouble() || !pair[1].isDouble()) {
        throw Damage{
            QStringLiteral("measurement %1 has a point that is not two numbers").arg(number)};
    }
    return {pair[0].toDouble(), pair[1].toDouble()};
}

Measurement MeasurementFromJson(const QJsonValue& value, int number) {
    const QJsonObject object = value.toObject();
    const std::optional<Tool> tool = ToolFromKey(object[kToolKey].toString());
    if (!value.isObject() || !tool) {
        throw Damage{QStringLiteral("measurement %1 has an unknown tool \"%2\"")
                         .arg(number)
                         .arg(object[kToolKey].toString())};
    }
    Measurement measurement;
    measurement.tool = *tool;
    for (const QJsonValue& point : object[kPointsKey].toArray()) {
        measurement.points.push_back(PointFromJson(point, number));
    }
    if (static_cast<int>(measurement.points.size()) < MinimumPoints(*tool)) {
        throw Damage{QStringLiteral("measurement %1 has too few points").arg(number)};
    }
    if (*tool == Tool::kCount) {
        measurement.group = WholeNumber(object[kGroupKey], 0, kCountGroups - 1,
                                        QStringLiteral("the group of measurement %1").arg(number));
    }
    return measurement;
}

MeasurementSheet SheetFromObject(const QJsonObject& object) {
    if (object[kFormatKey].toString() != kFormatName) {
        throw Damage{QStringLiteral("it is not a measurement sheet")};
    }
    if (object[kVersionKey].toInt() != kVersion) {
        throw Damage{
            QStringLiteral("its version %1 is not known").arg(object[kVersionKey].toInt())};
    }
    MeasurementSheet sheet;
    sheet.pictureFile = object[kPictureKey].toString();
    constexpr int kLargestSide = std::numeric_limits<int>::max();
    sheet.width = WholeNumber(object[kWidthKey], 0, kLargestSide, QStringLiteral("the width"));
    sheet.height = WholeNumber(object[kHeightKey], 0, kLargestSide, QStringLiteral("the height"));
    if (object.contains(kZoomCodeKey)) {
        constexpr int kLargestZoomCode = 255;
        sheet.zoomCode = static_cast<uint8_t>(WholeNumber(object[kZoomCodeKey], 0, kLargestZoomCode,
                                                          QStringLiteral("the zoom code")));
    }
    sheet.scale = ScaleFromJson(object[kScaleKey]);
    const QJsonValue measurements = object[kMeasurementsKey];
    if (!measurements.isArray()) {
        throw Damage{QStringLiteral("the measurements are missing")};
    }
    int number = 1;
    for (const QJsonValue& measurement : measurements.toArray()) {
        sheet.measurements.push_back(MeasurementFromJson(measurement, number++));
    }
    return sheet;
}

SheetReading Damaged(const QString& detail) {
    return {SheetStatus::kDamaged, {}, detail};
}

}  // namespace

QString SheetPathFor(const QString& picturePath) {
    const QFileInfo picture(picturePath);
    return QDir(picture.path()).filePath(picture.completeBaseName() + kSheetSuffix);
}

QByteArray SheetToJson(const MeasurementSheet& sheet) {
    QJsonObject object{{kFormatKey, kFormatName},        {kVersionKey, kVersion},
                       {kPictureKey, sheet.pictureFile}, {kWidthKey, sheet.width},
                       {kHeightKey, sheet.height},       {kScaleKey, ScaleToJson(sheet.scale)}};
    if (sheet.zoomCode) {
        object[kZoomCodeKey] = static_cast<int>(*sheet.zoomCode);
    }
    QJsonArray measurements;
    for (const Measurement& measurement : sheet.measurements) {
        measurements.append(MeasurementToJson(measurement));
    }
    object[kMeasurementsKey] = measurements;
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

SheetReading SheetFromJson(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError) {
        return Damaged(
            QStringLiteral("not JSON: %1 at byte %2").arg(error.errorString()).arg(error.offset));
    }
    if (!document.isObject()) {
        return Damaged(QStringLiteral("it is not a measurement sheet"));
    }
    try {
        return {SheetStatus::kRead, SheetFromObject(document.object()), {}};
    } catch (const Damage& damage) {
        return Damaged(damage.detail);
    }
}

SheetReading ReadSheetBeside(const QString& picturePath) {
    QFile file(SheetPathFor(picturePath));
    if (!file.exists()) {
        return {};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return Damaged(file.errorString());
    }
    return SheetFromJson(file.readAll());
}

bool WriteSheetBeside(const QString& picturePath, const MeasurementSheet& sheet, QString* why) {
    return WriteFileWhole(SheetPathFor(picturePath), SheetToJson(sheet), why);
}

}  // namespace dm::measure

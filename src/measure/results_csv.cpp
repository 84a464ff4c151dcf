// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/results_csv.h"

#include <algorithm>

#include <QStringList>

#include "view/magnification.h"
#include "view/overlays.h"

namespace dm::measure {

namespace {

const QString kLineEnd = QStringLiteral("\r\n");
const QChar kQuote = QLatin1Char('"');
const QChar kAlmostEqual(0x2248);
constexpr int kMostValues = 5;  // a circle's
constexpr int kHexBase = 16;
constexpr int kZoomCodeDigits = 2;
constexpr int kScaleDecimals = 3;
const char* const kDateFormat = "yyyy-MM-dd";

QString Field(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(kQuote) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))) {
        return text;
    }
    QString quoted = text;
    quoted.replace(kQuote, QStringLiteral("\"\""));
    return kQuote + quoted + kQuote;
}

QString Row(const QStringList& fields) {
    QStringList written;
    for (const QString& field : fields) {
        written << Field(field);
    }
    return written.join(QLatin1Char(',')) + kLineEnd;
}

QString SourceText(const PictureScale& scale) {
    switch (scale.source) {
        case ScaleSource::kCalibrated:
            return QStringLiteral("calibrated %1")
                .arg(scale.calibratedOn.toString(QString::fromLatin1(kDateFormat)));
        case ScaleSource::kNominal:
            return QStringLiteral("nominal (from the zoom step)");
        case ScaleSource::kNone:
            break;
    }
    return QStringLiteral("uncalibrated (px)");
}

QString Header(const MeasurementSheet& sheet) {
    QString zoomCode;
    QString magnification;
    if (sheet.zoomCode) {
        zoomCode = QStringLiteral("0x%1").arg(static_cast<uint>(*sheet.zoomCode), kZoomCodeDigits,
                                              kHexBase, QLatin1Char('0'));
        if (const auto times = ZoomCodeToMagnification(*sheet.zoomCode)) {
            magnification = MagnificationLabel(*times);
        }
    }
    const QString perMm =
        sheet.scale.Known() ? QString::number(sheet.scale.pixelsPerMillimetre, 'f', kScaleDecimals)
                            : QString();
    return Row({QStringLiteral("# picture"), sheet.pictureFile}) +
           Row({QStringLiteral("# zoom code"), zoomCode}) +
           Row({QStringLiteral("# magnification"), magnification}) +
           Row({QStringLiteral("# pixels per millimetre"), perMm}) +
           Row({QStringLiteral("# scale"), SourceText(sheet.scale)});
}

QString ProblemText(Problem problem) {
    switch (problem) {
        case Problem::kTooFewPoints:
            return QStringLiteral("too few points");
        case Problem::kCollinear:
            return QStringLiteral("the points lie on one line");
        case Problem::kNoAngle:
            return QStringLiteral("an arm has no length");
        case Problem::kCrossesItself:
            return QStringLiteral("crosses itself: not the enclosed area");
        case Problem::kNone:
            break;
    }
    return {};
}

QStringList ColumnNames(size_t mostPoints) {
    QStringList names{QStringLiteral("number"), QStringLiteral("tool")};
    for (int i = 1; i <= kMostValues; ++i) {
        names << QStringLiteral("value %1").arg(i) << QStringLiteral("unit %1").arg(i);
    }
    names << QStringLiteral("note");
    for (size_t i = 1; i <= mostPoints; ++i) {
        names << QStringLiteral("x%1").arg(i) << QStringLiteral("y%1").arg(i);
    }
    return names;
}

// A spreadsheet reads the number without the "≈": the header says the scale is nominal.
QString PlainNumber(QString number) {
    number.remove(kAlmostEqual);
    return number;
}

QStringList MeasurementRow(int number, const Measurement& measurement, const PictureScale& scale,
                           const UnitChoice& units, size_t mostPoints) {
    QStringList fields{QString::number(number), QString::fromLatin1(ToolKey(measurement.tool))};
    const Values values = Evaluate(measurement, scale);
    for (int i = 0; i < kMostValues; ++i) {
        if (i < static_cast<int>(values.values.size())) {
            const ShownValue shown = Show(values.values[i], scale, units);
            fields << PlainNumber(shown.number) << shown.unit;
        } else {
            fields << QString() << QString();
        }
    }
    fields << ProblemText(values.problem);
    for (size_t i = 0; i < mostPoints; ++i) {
        if (i < measurement.points.size()) {
            // Shortest text that reads back as the same number: points are sub-pixel.
            fields << QString::number(measurement.points[i].x(), 'g',
                                      QLocale::FloatingPointShortest)
                   << QString::number(measurement.points[i].y(), 'g',
                                      QLocale::FloatingPointShortest);
        } else {
            fields << QString() << QString();
        }
    }
    return fields;
}

}  // namespace

QString ResultsCsv(const MeasurementSheet& sheet, const UnitChoice& units) {
    size_t mostPoints = 0;
    for (const Measurement& measurement : sheet.measurements) {
        mostPoints = std::max(mostPoints, measurement.points.size());
    }
    QString csv = Header(sheet) + Row(ColumnNames(mostPoints));
    int number = 1;
    for (const Measurement& measurement : sheet.measurements) {
        csv += Row(MeasurementRow(number++, measurement, sheet.scale, units, mostPoints));
    }
    return csv;
}

}  // namespace dm::measure

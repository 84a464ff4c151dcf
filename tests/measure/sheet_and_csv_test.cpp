// SPDX-License-Identifier: GPL-3.0-or-later
// Measurement sheets and the results CSV: written, read back, equal; damage is told.
#include <gtest/gtest.h>

#include <functional>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "measure/measurement_sheet.h"
#include "measure/results_csv.h"

namespace dm::measure {
namespace {

MeasurementSheet ASheet() {
    MeasurementSheet sheet;
    sheet.pictureFile = QStringLiteral("cells, day 2.jpg");
    sheet.width = 640;
    sheet.height = 480;
    sheet.zoomCode = uint8_t{0x25};
    sheet.scale = {860.4651162790698, ScaleSource::kCalibrated, QDate(2026, 12, 8)};
    sheet.measurements = {
        {Tool::kLine, {{10.5, 20.25}, {110.125, 20.25}}},
        {Tool::kCircle, {{13, 24}, {6, 23}, {15, 20}}},
        {Tool::kCount, {{1.0 / 3.0, 2}, {5, 5}}, 4},
        {Tool::kPolygon, {{0, 0}, {100, 0}, {100, 100}, {0, 100}}},
    };
    return sheet;
}

TEST(SheetTest, RoundTripKeepsEverythingExactly) {
    const MeasurementSheet sheet = ASheet();
    const SheetReading read = SheetFromJson(SheetToJson(sheet));
    ASSERT_EQ(read.status, SheetStatus::kRead) << read.detail.toStdString();
    EXPECT_EQ(read.sheet, sheet);

    MeasurementSheet unscaled;
    unscaled.pictureFile = QStringLiteral("x.png");
    const SheetReading plain = SheetFromJson(SheetToJson(unscaled));
    ASSERT_EQ(plain.status, SheetStatus::kRead) << plain.detail.toStdString();
    EXPECT_EQ(plain.sheet, unscaled);
    EXPECT_FALSE(plain.sheet.zoomCode.has_value());
}

TEST(SheetTest, LivesBesideThePicture) {
    EXPECT_EQ(SheetPathFor(QStringLiteral("/a/b/pic.jpg")),
              QStringLiteral("/a/b/pic.measurements.json"));
    EXPECT_EQ(SheetPathFor(QStringLiteral("/a/b/slide.2.PNG")),
              QStringLiteral("/a/b/slide.2.measurements.json"));
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("00000012.jpg"));
    EXPECT_EQ(ReadSheetBeside(picture).status, SheetStatus::kMissing);
    ASSERT_TRUE(WriteSheetBeside(picture, ASheet()));
    const SheetReading read = ReadSheetBeside(picture);
    ASSERT_EQ(read.status, SheetStatus::kRead);
    EXPECT_EQ(read.sheet, ASheet());
}

// The sheet of ASheet() with one thing changed in its JSON.
QByteArray Changed(
    const std::function<void(QJsonObject& sheet, QJsonArray& measurements)>& change) {
    QJsonObject sheet = QJsonDocument::fromJson(SheetToJson(ASheet())).object();
    QJsonArray measurements = sheet[QStringLiteral("measurements")].toArray();
    change(sheet, measurements);
    sheet[QStringLiteral("measurements")] = measurements;
    return QJsonDocument(sheet).toJson();
}

// Sets a key of measurement `index`.
void SetInMeasurement(QJsonArray& measurements, int index, const QString& key,
                      const QJsonValue& value) {
    QJsonObject measurement = measurements[index].toObject();
    measurement[key] = value;
    measurements[index] = measurement;
}

TEST(SheetTest, DamagedSheetIsRefusedWholeWithADetail) {
    const QByteArray good = SheetToJson(ASheet());
    const QString points = QStringLiteral("points");
    const struct {
        const char* what;
        QByteArray json;
        const char* detail;  // what the detail names
    } cases[] = {
        {"truncated", good.left(good.size() / 2), "not JSON"},
        {"unknown tool", Changed([](QJsonObject&, QJsonArray& m) {
             SetInMeasurement(m, 1, QStringLiteral("tool"), QStringLiteral("ellipse"));
         }),
         "measurement 2 has an unknown tool \"ellipse\""},
        {"point of one number", Changed([&](QJsonObject&, QJsonArray& m) {
             SetInMeasurement(m, 0, points, QJsonArray{QJsonArray{1.5}, QJsonArray{2, 3}});
         }),
         "measurement 1 has a point that is not two numbers"},
        {"point of text", Changed([&](QJsonObject&, QJsonArray& m) {
             SetInMeasurement(m, 0, points, QJsonArray{QJsonArray{"1", 2}, QJsonArray{2, 3}});
         }),
         "measurement 1 has a point"},
        {"too few points", Changed([&](QJsonObject&, QJsonArray& m) {
             SetInMeasurement(m, 3, points, QJsonArray{QJsonArray{1, 2}, QJsonArray{2, 3}});
         }),
         "measurement 4 has too few points"},
        {"group out of range", Changed([](QJsonObject&, QJsonArray& m) {
             SetInMeasurement(m, 2, QStringLiteral("group"), kCountGroups);
         }),
         "group"},
        {"calibrated without a date", Changed([](QJsonObject& sheet, QJsonArray&) {
             QJsonObject scale = sheet[QStringLiteral("scale")].toObject();
             scale.remove(QStringLiteral("calibrated"));
             sheet[QStringLiteral("scale")] = scale;
         }),
         "date"},
        {"another format", Changed([](QJsonObject& sheet, QJsonArray&) {
             sheet[QStringLiteral("format")] = QStringLiteral("something else");
         }),
         "not a measurement sheet"},
        {"not an object", QByteArray("[1, 2]"), "not a measurement sheet"},
    };
    for (const auto& damaged : cases) {
        SCOPED_TRACE(damaged.what);
        ASSERT_NE(damaged.json, good);
        const SheetReading read = SheetFromJson(damaged.json);
        EXPECT_EQ(read.status, SheetStatus::kDamaged);
        EXPECT_TRUE(read.detail.contains(QString::fromLatin1(damaged.detail)))
            << read.detail.toStdString();
        EXPECT_TRUE(read.sheet.measurements.empty());
    }
    // The untouched sheet, through the same path, reads.
    EXPECT_EQ(SheetFromJson(Changed([](QJsonObject&, QJsonArray&) {})).status, SheetStatus::kRead);
}

// RFC 4180 fields of one CSV text, as a spreadsheet reads them.
std::vector<QStringList> ParseCsv(const QString& csv) {
    std::vector<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < csv.size(); ++i) {
        const QChar c = csv[i];
        if (quoted) {
            if (c == u'"' && i + 1 < csv.size() && csv[i + 1] == u'"') {
                field += c;
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            row << field;
            field.clear();
        } else if (c == u'\r' && i + 1 < csv.size() && csv[i + 1] == u'\n') {
            row << field;
            rows.push_back(row);
            row.clear();
            field.clear();
            ++i;
        } else {
            field += c;
        }
    }
    EXPECT_TRUE(field.isEmpty() && row.isEmpty()) << "the last line has no CRLF";
    return rows;
}

TEST(ResultsCsvTest, HeaderRowsAndPointsParseBack) {
    MeasurementSheet sheet = ASheet();
    sheet.scale = {100.0, ScaleSource::kNominal, {}};
    sheet.measurements.push_back({Tool::kCircle, {{0, 0}, {5, 5}, {10, 10}}});
    const QString csv = ResultsCsv(sheet, {LengthUnit::kAuto, 2});
    EXPECT_FALSE(csv.contains(QRegularExpression(QStringLiteral("[^\r]\n"))));
    const std::vector<QStringList> rows = ParseCsv(csv);
    ASSERT_EQ(rows.size(), 5U + 1U + 5U);
    EXPECT_EQ(rows[0], (QStringList{"# picture", "cells, day 2.jpg"}));
    EXPECT_EQ(rows[1], (QStringList{"# zoom code", "0x25"}));
    EXPECT_EQ(rows[2], (QStringList{"# magnification", "52X"}));
    EXPECT_EQ(rows[3], (QStringList{"# pixels per millimetre", "100.000"}));
    EXPECT_EQ(rows[4], (QStringList{"# scale", "nominal (from the zoom step)"}));
    const QStringList& columns = rows[5];
    ASSERT_EQ(columns.size(), 2 + 10 + 1 + 8);  // four points at most
    EXPECT_EQ(columns.mid(0, 4), (QStringList{"number", "tool", "value 1", "unit 1"}));
    EXPECT_EQ(columns.mid(12, 3), (QStringList{"note", "x1", "y1"}));
    for (const QStringList& row : rows) {
        if (&row - rows.data() > 5) {
            EXPECT_EQ(row.size(), columns.size());  // every record as wide as the header
        }
    }
    // Line: 99.625 px at 100 px/mm is 996.25 µm, written without "≈" for spreadsheets.
    const QStringList& line = rows[6];
    EXPECT_EQ(line.mid(0, 4), (QStringList{"1", "line", "996.25", QString::fromUtf8("\u00B5m")}));
    EXPECT_EQ(line.mid(13, 4), (QStringList{"10.5", "20.25", "110.125", "20.25"}));
    EXPECT_EQ(line[17], QString());
    // Circle: diameter 10 px, then its centre in pixels.
    const QStringList& circle = rows[7];
    EXPECT_EQ(circle.mid(1, 3), (QStringList{"circle", "100.00", QString::fromUtf8("\u00B5m")}));
    EXPECT_EQ(circle.mid(8, 4), (QStringList{"10.00", "px", "20.00", "px"}));
    const QStringList& count = rows[8];
    EXPECT_EQ(count.mid(1, 3), (QStringList{"count", "2", ""}));
    EXPECT_EQ(count[13].toDouble(), 1.0 / 3.0);  // sub-pixel points come back exactly
    const QStringList& collinear = rows[10];
    EXPECT_EQ(collinear[2], QString());
    EXPECT_FALSE(collinear[12].isEmpty());  // the note says why there is no value
}

TEST(ResultsCsvTest, UncalibratedSheetSaysSo) {
    MeasurementSheet sheet;
    sheet.pictureFile = QStringLiteral("say \"cheese\".png");
    sheet.measurements = {{Tool::kLine, {{0, 0}, {3, 4}}}};
    const std::vector<QStringList> rows = ParseCsv(ResultsCsv(sheet, {}));
    ASSERT_EQ(rows.size(), 7U);
    EXPECT_EQ(rows[0][1], QStringLiteral("say \"cheese\".png"));
    EXPECT_EQ(rows[1][1], QString());
    EXPECT_EQ(rows[3][1], QString());
    EXPECT_EQ(rows[4][1], QStringLiteral("uncalibrated (px)"));
    EXPECT_EQ(rows[6].mid(2, 2), (QStringList{"5.000", "px"}));
}

}  // namespace
}  // namespace dm::measure

// SPDX-License-Identifier: GPL-3.0-or-later
// The measuring window driven as a user drives it: real mouse events on the canvas at a
// zoom of 250 %, the values read from the results table, dialogs answered by the test.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDate>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include "app/ini_file.h"
#include "app/language.h"
#include "app/message_catalogue.h"
#include "base/message_numbers.h"
#include "measure_window/measure_canvas.h"
#include "measure_window/measure_window.h"
#include "measure_window/results_table.h"
#include "support/app_fixture.h"
#include "view/calibration_book.h"

namespace dm::test {
namespace {

using measure::Tool;

constexpr uint8_t kZoomCode = 0x25;  // a zoom step with a ruler length: a nominal scale
constexpr double kZoom = 2.5;
constexpr double kTestPixelsPerMillimetre = 200.0;

class MeasureWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CalibrationBook::Shared().Open(QString());
        IniFile english;
        ASSERT_TRUE(english.Load(QStringLiteral(DM_SOURCE_TREE "/data/System.ini")));
        catalogue_.Load(kEnglish, english);
        window_ = std::make_unique<MeasureWindow>(
            catalogue_, dialogs_, [] { return kEnglish; }, nullptr);
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
        canvas_ = qobject_cast<MeasureCanvas*>(window_->Canvas());
        ASSERT_NE(canvas_, nullptr);
        window_->findChild<QSpinBox*>(QStringLiteral("MeasureDecimals"))->setValue(1);
    }
    void TearDown() override {
        window_->UndoStack().setClean();  // no question as the window goes
        window_.reset();
        CalibrationBook::Shared().Open(QString());
    }

    // A grey picture 320 x 240 measured at `scale` (no zoom code) or at its zoom code's.
    measure::MeasuredPicture Picture(std::optional<uint8_t> zoomCode, PictureScale scale = {}) {
        measure::MeasuredPicture picture;
        picture.image = QImage(320, 240, QImage::Format_RGB32);
        picture.image.fill(QColor(90, 110, 90));
        picture.zoomCode = zoomCode;
        picture.scale = scale;
        picture.name = QStringLiteral("00000012.jpg");
        return picture;
    }

    void Show(const measure::MeasuredPicture& picture) {
        window_->ShowPicture(picture);
        canvas_->ZoomTo(kZoom, QPointF(canvas_->width() / 2.0, canvas_->height() / 2.0));
        ASSERT_DOUBLE_EQ(canvas_->Zoom(), kZoom);
    }

    void Use(Tool tool) {
        window_->findChild<QAction*>(QStringLiteral("Tool%1").arg(static_cast<int>(tool)))
            ->trigger();
    }

    // The screen pixel nearest to a picture point. Every picture point with even
    // coordinates is off by the same fraction at 250 %, so distances stay exact.
    QPoint At(QPointF picture) const { return canvas_->ToScreen(picture).toPoint(); }

    void Drag(QPoint from, QPoint to) {
        QTest::mousePress(canvas_, Qt::LeftButton, Qt::NoModifier, from);
        QTest::mouseMove(canvas_, (from + to) / 2);
        QTest::mouseMove(canvas_, to);
        QTest::mouseRelease(canvas_, Qt::LeftButton, Qt::NoModifier, to);
    }

    void Click(QPoint at) { QTest::mouseClick(canvas_, Qt::LeftButton, Qt::NoModifier, at); }

    QString Cell(int row, int column) const {
        const QTableWidgetItem* item = window_->Results()->item(row, column);
        return item ? item->text() : QString();
    }
    int Rows() const { return window_->Results()->rowCount(); }
    QString ScaleText() const {
        return window_->findChild<QLabel*>(QStringLiteral("MeasureScale"))->text();
    }
    QString Message(int number) const { return catalogue_.Text(kEnglish, number); }
    void Trigger(int number) {
        for (QAction* action : window_->findChildren<QAction*>()) {
            if (action->text() == Message(number)) {
                action->trigger();
                return;
            }
        }
        FAIL() << "no action " << number;
    }

    MessageCatalogue catalogue_;
    ScriptedDialogs dialogs_;
    std::unique_ptr<MeasureWindow> window_;
    MeasureCanvas* canvas_ = nullptr;
};

TEST_F(MeasureWindowTest, LineDraggedAtTwoHundredFiftyPercentIsReadAtThePictureScale) {
    Show(Picture(std::nullopt, {kTestPixelsPerMillimetre, ScaleSource::kNominal, {}}));
    EXPECT_TRUE(ScaleText().contains(Message(message::kScaleNominal))) << ScaleText().toStdString();
    Use(Tool::kLine);
    // 250 screen pixels are 100 picture pixels: 0.5 mm at 200 px/mm, nominal.
    const QPoint from = At(QPointF(60, 100));
    Drag(from, from + QPoint(250, 0));
    ASSERT_EQ(Rows(), 1);
    EXPECT_EQ(Cell(0, kToolColumn), Message(message::kToolLine));
    EXPECT_EQ(Cell(0, kValueColumn), QStringLiteral("\u2248500.0"));
    EXPECT_EQ(Cell(0, kUnitColumn), QStringLiteral("\u00B5m"));
    ASSERT_EQ(window_->Measurements().size(), 1U);
    const auto& points = window_->Measurements()[0].points;
    EXPECT_NEAR(points[1].x() - points[0].x(), 100.0, 1e-9);
    EXPECT_NEAR(points[1].y() - points[0].y(), 0.0, 1e-9);

    window_->UndoStack().undo();
    EXPECT_EQ(Rows(), 0);
    window_->UndoStack().redo();
    ASSERT_EQ(Rows(), 1);

    // Selected by a click on it, then the Delete key; redo deletes it again.
    window_->findChild<QAction*>(QStringLiteral("ToolSelect"))->trigger();
    Click(At(QPointF(110, 100)));
    EXPECT_EQ(canvas_->Selected(), 0);
    QTest::keyClick(canvas_, Qt::Key_Delete);
    EXPECT_EQ(Rows(), 0);
    window_->UndoStack().undo();
    EXPECT_EQ(Rows(), 1);
    window_->UndoStack().redo();
    EXPECT_EQ(Rows(), 0);
    EXPECT_TRUE(dialogs_.boxes.empty());
}

TEST_F(MeasureWindowTest, CalibrationByADrawnLineChangesTheNextMeasurement) {
    const double nominal = *PixelsPerMillimetre(kZoomCode, 320);
    Show(Picture(kZoomCode));
    EXPECT_EQ(window_->Scale().source, ScaleSource::kNominal);

    // A garbage answer is refused with a message and changes nothing.
    std::vector<QString> answers = {QStringLiteral("-1 mm"), QStringLiteral("250 \u00B5m")};
    dialogs_.onDialog = [&](QDialog& dialog) {
        auto* length = dialog.findChild<QLineEdit*>(QStringLiteral("KnownLength"));
        ASSERT_NE(length, nullptr);
        length->setText(answers.front());
        answers.erase(answers.begin());
    };
    Use(Tool::kCalibrate);
    const QPoint from = At(QPointF(20, 50));
    Drag(from, from + QPoint(375, 0));  // 150 picture pixels
    ASSERT_EQ(dialogs_.boxes.size(), 1U);
    EXPECT_EQ(dialogs_.boxes[0].text, Message(message::kBadKnownLength));
    EXPECT_FALSE(CalibrationBook::Shared().Find(kZoomCode));

    // 150 px over 250 µm: 600 px/mm, for this zoom code from now on.
    Drag(from, from + QPoint(375, 0));
    EXPECT_EQ(dialogs_.dialogsRun, 2);
    ASSERT_TRUE(CalibrationBook::Shared().Find(kZoomCode));
    EXPECT_NEAR(CalibrationBook::Shared().Find(kZoomCode)->pixelsPerMillimetreAt320, 600.0, 1e-6);
    EXPECT_EQ(window_->Scale().source, ScaleSource::kCalibrated);
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    EXPECT_TRUE(ScaleText().contains(Message(message::kScaleCalibrated).arg(today)));
    EXPECT_EQ(Rows(), 0);  // a calibration line is no measurement

    // The next line: 60 px are 100 µm at the calibrated scale, without "≈".
    Use(Tool::kLine);
    Drag(At(QPointF(40, 150)), At(QPointF(40, 150)) + QPoint(0, 150));
    ASSERT_EQ(Rows(), 1);
    EXPECT_EQ(Cell(0, kValueColumn), QStringLiteral("100.0"));

    // Forgotten, the same line is read at the nominal scale again; undo brings it back.
    window_->findChild<QAction*>(QStringLiteral("ForgetCalibration"))->trigger();
    EXPECT_FALSE(CalibrationBook::Shared().Find(kZoomCode));
    const double micrometres = 60.0 / nominal * 1000.0;
    EXPECT_EQ(Cell(0, kValueColumn), QStringLiteral("\u2248%1").arg(micrometres, 0, 'f', 1));
    window_->UndoStack().undo();
    EXPECT_TRUE(CalibrationBook::Shared().Find(kZoomCode));
    EXPECT_EQ(Cell(0, kValueColumn), QStringLiteral("100.0"));
}

TEST_F(MeasureWindowTest, CircleThroughCollinearPointsIsRefusedAndAProperOneIsMeasured) {
    Show(Picture(std::nullopt,
                 {kTestPixelsPerMillimetre, ScaleSource::kCalibrated, QDate(2026, 12, 8)}));
    Use(Tool::kCircle);
    for (double x : {40.0, 80.0, 120.0}) {
        Click(At(QPointF(x, 60)));
    }
    ASSERT_EQ(dialogs_.boxes.size(), 1U);
    EXPECT_EQ(dialogs_.boxes[0].text, Message(message::kCollinearCircle));
    EXPECT_EQ(Rows(), 0);

    // On the edge of a circle of radius 40 px about (100, 100): 400 µm across.
    Click(At(QPointF(60, 100)));
    Click(At(QPointF(100, 60)));
    Click(At(QPointF(140, 100)));
    ASSERT_EQ(Rows(), 1);
    EXPECT_EQ(Cell(0, kToolColumn), Message(message::kToolCircle));
    EXPECT_EQ(Cell(0, kValueColumn), QStringLiteral("400.0"));
    EXPECT_EQ(dialogs_.boxes.size(), 1U);
}

TEST_F(MeasureWindowTest, SavedPictureBringsItsMeasurementsBackAndADamagedSheetIsSaid) {
    const QColor fill(90, 110, 90);
    Show(Picture(kZoomCode));
    Use(Tool::kLine);
    Drag(At(QPointF(40, 120)), At(QPointF(40, 120)) + QPoint(500, 0));
    const auto measured = window_->Measurements();
    ASSERT_EQ(measured.size(), 1U);

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("cell.png"));
    dialogs_.QueueFile({folder.filePath(QStringLiteral("cell")), 2});  // the PNG filter
    Trigger(message::kSaveMarkedPictureItem);
    ASSERT_EQ(dialogs_.files.size(), 1U);
    EXPECT_EQ(dialogs_.files[0].mode, FileDialogMode::Save);
    const QImage saved(path);
    ASSERT_FALSE(saved.isNull());
    EXPECT_NE(saved.pixelColor(140, 120), fill) << "the line is burned in";
    EXPECT_TRUE(QFile::exists(folder.filePath(QStringLiteral("cell.measurements.json"))));
    EXPECT_FALSE(window_->isWindowModified());

    ASSERT_TRUE(window_->OpenFile(path));
    EXPECT_EQ(window_->Measurements(), measured);
    EXPECT_EQ(Rows(), 1);

    QFile sheet(folder.filePath(QStringLiteral("cell.measurements.json")));
    ASSERT_TRUE(sheet.open(QIODevice::WriteOnly | QIODevice::Truncate));
    sheet.write("{\"format\": \"digital-microscope-measurements\", \"measurements\": [");
    sheet.close();
    ASSERT_TRUE(window_->OpenFile(path));
    ASSERT_EQ(dialogs_.boxes.size(), 1U);
    EXPECT_TRUE(dialogs_.boxes[0].text.startsWith(
        Message(message::kSheetDamaged).section(QStringLiteral("%1"), 0, 0)));
    EXPECT_TRUE(window_->Measurements().empty());
    EXPECT_EQ(window_->Picture().image.size(), QSize(320, 240));

    EXPECT_FALSE(window_->OpenFile(folder.filePath(QStringLiteral("none.png"))));
    ASSERT_EQ(dialogs_.boxes.size(), 2U);
    EXPECT_TRUE(dialogs_.boxes[1].text.endsWith(
        Message(message::kMeasurePictureUnreadable).section(QStringLiteral("%1"), 1)));
}

TEST_F(MeasureWindowTest, LiveFramesAreReadAtTheirZoomCodesUntilSpaceFreezesOne) {
    constexpr uint8_t kOtherZoomCode = 0x20;
    Show(Picture(std::nullopt));
    window_->SetLiveAvailable(true);
    window_->findChild<QAction*>(QStringLiteral("MeasureLive"))->trigger();
    ASSERT_TRUE(window_->FollowsLive());
    QImage frame(320, 240, QImage::Format_RGB32);
    frame.fill(Qt::darkGray);
    window_->LiveFrame(frame, kZoomCode);
    EXPECT_EQ(window_->Picture().zoomCode, std::optional<uint8_t>(kZoomCode));
    EXPECT_DOUBLE_EQ(window_->Scale().pixelsPerMillimetre, *PixelsPerMillimetre(kZoomCode, 320));

    Use(Tool::kLine);
    Drag(At(QPointF(40, 120)), At(QPointF(40, 120)) + QPoint(250, 0));  // 100 px
    const QString atFirst = Cell(0, kValueColumn);
    window_->LiveFrame(frame, kOtherZoomCode);
    EXPECT_EQ(window_->Measurements().size(), 1U);
    EXPECT_DOUBLE_EQ(window_->Scale().pixelsPerMillimetre,
                     *PixelsPerMillimetre(kOtherZoomCode, 320));
    EXPECT_NE(Cell(0, kValueColumn), atFirst);

    QTest::keyClick(canvas_, Qt::Key_Space);
    EXPECT_FALSE(window_->FollowsLive());
    QImage later = frame;
    later.fill(Qt::white);
    window_->LiveFrame(later, kZoomCode);
    EXPECT_EQ(window_->Picture().image, frame);
    EXPECT_EQ(window_->Picture().zoomCode, std::optional<uint8_t>(kOtherZoomCode));
}

}  // namespace
}  // namespace dm::test

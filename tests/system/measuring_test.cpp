// SPDX-License-Identifier: GPL-3.0-or-later
// The way into the measuring window from the running program: a double click on the
// picture, the File menu and the list's pop-up menu each hand over the picture on screen
// with the scale of its zoom code.
#include <QAction>
#include <QTableWidget>
#include <QTest>

#include "app/picture_box.h"
#include "base/message_numbers.h"
#include "link/frame.h"
#include "measure_window/measure_canvas.h"
#include "measure_window/measure_window.h"
#include "system/system_fixture.h"
#include "view/picture_files.h"
#include "view/picture_scale.h"

namespace dm::test {
namespace {

constexpr int kPictures = 2;

class MeasuringTest : public SystemTest {
  protected:
    void SetUp() override {
        SystemTest::SetUp();
        vm::Options options;
        options.pictures = kPictures;
        ASSERT_NO_FATAL_FAILURE(StartConnected(options));
        ASSERT_NO_FATAL_FAILURE(DownloadAll());
        ASSERT_EQ(RowCount(), kPictures);
    }

    // The picture box on top of the panel: the one a user's double click reaches.
    QWidget* TopPicture() const { return form->Image4(); }
};

TEST_F(MeasuringTest, ADoubleClickOnABrowsedPictureMeasuresItAtItsZoomCodesScale) {
    const uint32_t info = microscope->Pictures()[1].info;
    ClickRow(1);
    ASSERT_EQ(form->Measuring(), nullptr);

    QTest::mouseDClick(TopPicture(), Qt::LeftButton, {}, QPoint(100, 80));

    MeasureWindow* measuring = form->Measuring();
    ASSERT_NE(measuring, nullptr);
    EXPECT_TRUE(measuring->isVisible());
    const measure::MeasuredPicture& shown = measuring->Picture();
    EXPECT_EQ(shown.name, DefaultJpegFileName(info));
    ASSERT_TRUE(shown.zoomCode.has_value());
    EXPECT_EQ(*shown.zoomCode, frame::ZoomCode(info));
    EXPECT_EQ(shown.scale, ScaleOf(frame::ZoomCode(info), shown.image.width()));
    EXPECT_TRUE(
        SamePixels(shown.image, LoadScratchPicture(ScratchPicturePath(ScratchFolder(), info))));
}

// Measurements not yet saved are never dropped by a way out the user takes without being
// asked; Cancel keeps everything running. A termination signal asks nothing.
TEST_F(MeasuringTest, LeavingWithUnsavedMeasurementsAsksFirst) {
    ClickRow(0);
    form->findChild<QAction*>(QStringLiteral("Measure1"))->trigger();
    MeasureWindow* measuring = form->Measuring();
    ASSERT_NE(measuring, nullptr);
    auto* canvas = static_cast<MeasureCanvas*>(measuring->Canvas());
    measuring
        ->findChild<QAction*>(QStringLiteral("Tool%1").arg(static_cast<int>(measure::Tool::kLine)))
        ->trigger();
    const QPoint from = canvas->ToScreen(QPointF(40, 100)).toPoint();
    const QPoint to = canvas->ToScreen(QPointF(140, 100)).toPoint();
    QTest::mousePress(canvas, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(canvas, to);
    QTest::mouseRelease(canvas, Qt::LeftButton, Qt::NoModifier, to);
    ASSERT_EQ(measuring->Results()->rowCount(), 1);

    const std::size_t boxes = dialogs.boxes.size();
    dialogs.QueueAnswer(false);
    Click("ExitBtn");
    EXPECT_EQ(dialogs.boxes.size(), boxes + 1) << "no question before leaving";
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(measuring->isVisible());
    EXPECT_TRUE(session->Port().IsOpen());

    dialogs.QueueAnswer(false);
    form->close();
    EXPECT_TRUE(form->isVisible()) << "the close box dropped the measurements unasked";

    form->EndProgram();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(dialogs.boxes.size(), boxes + 2) << "a termination signal must not ask";
}

TEST_F(MeasuringTest, TheListsPopUpMeasuresTheSelectedRowAndARowNeverReceivedIsRefused) {
    ClickRow(0);
    auto* measureRow = form->findChild<QAction*>(QStringLiteral("MeasureRow"));
    ASSERT_NE(measureRow, nullptr);
    measureRow->trigger();
    ASSERT_NE(form->Measuring(), nullptr);
    EXPECT_EQ(form->Measuring()->Picture().name,
              DefaultJpegFileName(microscope->Pictures()[0].info));

    // Nothing selected: no picture to measure, and the user is told.
    form->ClearRows();
    const int before = BoxesWithMessage(message::kPictureNotReceived);
    measureRow->trigger();
    EXPECT_EQ(BoxesWithMessage(message::kPictureNotReceived), before + 1);
}

}  // namespace
}  // namespace dm::test

namespace dm::test {
namespace {

TEST_F(SystemTest, MeasureWithTheCameraOnFreezesTheNewestLiveFrameWithItsZoomCode) {
    ASSERT_NO_FATAL_FAILURE(StartConnected());
    const QImage before = form->Image3()->Picture();
    Click("CameraBtn");
    ASSERT_TRUE(WaitUntil([&] { return !SamePixels(form->Image3()->Picture(), before); }));

    form->findChild<QAction*>(QStringLiteral("Measure1"))->trigger();

    ASSERT_NE(form->Measuring(), nullptr);
    const measure::MeasuredPicture& shown = form->Measuring()->Picture();
    EXPECT_FALSE(shown.image.isNull());
    ASSERT_TRUE(shown.zoomCode.has_value());
    EXPECT_EQ(*shown.zoomCode, microscope->LiveZoomCode());
    EXPECT_EQ(shown.scale, ScaleOf(*shown.zoomCode, shown.image.width()));
    EXPECT_TRUE(shown.taken.isValid());
}

}  // namespace
}  // namespace dm::test

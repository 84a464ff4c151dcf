// SPDX-License-Identifier: GPL-3.0-or-later
// The window as the worker threads use it: calls carried out on the window thread in
// order, scripted answers, release of a blocked worker when the window goes, and the
// three ways out.
#include <atomic>
#include <chrono>
#include <thread>

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QProgressBar>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest/QTest>

#include "app/glyph.h"
#include "app/picture_box.h"
#include "support/app_fixture.h"

namespace dm::test {
namespace {

constexpr auto kDeadline = std::chrono::seconds(10);

class WindowPortTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        Start();
        ASSERT_TRUE(started);
    }

    // Runs `work` on a worker thread while this (the window) thread handles events.
    void OnWorker(const std::function<void()>& work) {
        std::atomic<bool> finished{false};
        std::thread worker([&] {
            work();
            finished = true;
        });
        const auto end = std::chrono::steady_clock::now() + kDeadline;
        while (!finished && std::chrono::steady_clock::now() < end) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        if (!finished) {
            ADD_FAILURE() << "worker did not finish; closing the window to release it";
            form->close();
        }
        worker.join();
    }

    QStringList Names() {
        QStringList names;
        auto* list = Find<QTreeWidget>(*form, "ListView1");
        for (int row = 0; row < list->topLevelItemCount(); ++row) {
            names.append(list->topLevelItem(row)->text(0));
        }
        return names;
    }
};

TEST_F(WindowPortTest, WorkerCallsRunOnTheWindowThreadInOrder) {
    QThread* progressThread = nullptr;
    QObject::connect(Find<QProgressBar>(*form, "ProgressBar1"), &QProgressBar::valueChanged,
                     [&] { progressThread = QThread::currentThread(); });
    int rowsSeen = -1;
    OnWorker([&] {
        form->SetProgress(40);
        form->AddRow(
            {QStringLiteral("00000001.jpg"), QStringLiteral("00001000"), QStringLiteral("40")});
        form->AddRow(
            {QStringLiteral("00000002.jpg"), QStringLiteral("00002000"), QStringLiteral("80")});
        form->AddRow(
            {QStringLiteral("00000003.jpg"), QStringLiteral("00003000"), QStringLiteral("20")});
        form->RemoveRow(1);
        form->RemoveRow(7);  // no such row: nothing happens
        rowsSeen = form->RowCount();
        form->ApplyButtonSet(ButtonSet::Ready);
        form->SetEnabled(Control::SnapShotBtn, true);
        form->SetEnabled(Control::ListView1, false);
        form->SetConnected(true);
    });
    EXPECT_EQ(progressThread, QThread::currentThread());
    EXPECT_EQ(Find<QProgressBar>(*form, "ProgressBar1")->value(), 40);
    EXPECT_EQ(rowsSeen, 2);
    EXPECT_EQ(Names(),
              (QStringList{QStringLiteral("00000001.jpg"), QStringLiteral("00000003.jpg")}));
    auto* list = Find<QTreeWidget>(*form, "ListView1");
    EXPECT_EQ(list->topLevelItem(1)->text(1), QStringLiteral("00003000"));
    EXPECT_EQ(list->topLevelItem(1)->text(2), QStringLiteral("20"));
    EXPECT_TRUE(Find<QToolButton>(*form, "UpBtn")->isEnabled());
    EXPECT_TRUE(Find<QToolButton>(*form, "SnapShotBtn")->isEnabled());
    EXPECT_FALSE(list->isEnabled());
    EXPECT_TRUE(form->Connected());
    EXPECT_EQ(Find<QToolButton>(*form, "ConnectBtn")->toolTip(),
              QStringLiteral("Disconnect from the microscope"));

    OnWorker([&] { form->ClearRows(); });
    EXPECT_EQ(list->topLevelItemCount(), 0);
}

TEST_F(WindowPortTest, SelectedRowIsTheListSelection) {
    for (const char* name : {"00000001.jpg", "00000002.jpg"}) {
        form->AddRow({QString::fromLatin1(name), QStringLiteral("1"), QStringLiteral("1")});
    }
    EXPECT_EQ(form->SelectedRow(), -1);
    auto* list = Find<QTreeWidget>(*form, "ListView1");
    list->topLevelItem(1)->setSelected(true);
    int selected = -2;
    OnWorker([&] { selected = form->SelectedRow(); });
    EXPECT_EQ(selected, 1);
}

// The list must not hand the selection to a neighbour of a deleted row: that row's
// picture is not the one on show, and Save or Delete would act on it unasked.
TEST_F(WindowPortTest, RemovingTheSelectedRowLeavesNoRowSelected) {
    for (const char* name : {"00000001.jpg", "00000002.jpg", "00000003.jpg"}) {
        form->AddRow({QString::fromLatin1(name), QStringLiteral("1"), QStringLiteral("1")});
    }
    auto* list = Find<QTreeWidget>(*form, "ListView1");
    list->setCurrentItem(list->topLevelItem(1));  // what a click does
    ASSERT_EQ(form->SelectedRow(), 1);
    form->RemoveRow(1);
    EXPECT_EQ(form->SelectedRow(), -1);
    EXPECT_EQ(list->topLevelItemCount(), 2);

    list->setCurrentItem(list->topLevelItem(0));
    form->RemoveRow(1);  // another row: the selection stays where it was
    EXPECT_EQ(form->SelectedRow(), 0);
}

// A deleted picture does not stay on show in the browse view.
TEST_F(WindowPortTest, DeletedPicturesLeaveTheBrowseView) {
    QImage shown(320, 240, QImage::Format_RGB32);
    shown.fill(Qt::darkCyan);
    for (const char* name : {"00000001.jpg", "00000002.jpg"}) {
        form->AddRow({QString::fromLatin1(name), QStringLiteral("1"), QStringLiteral("1")});
    }
    auto* list = Find<QTreeWidget>(*form, "ListView1");
    list->setCurrentItem(list->topLevelItem(0));
    form->ShowBrowsePicture(shown);
    form->RemoveRow(1);
    EXPECT_TRUE(form->Image4()->HasPicture()) << "another row went; the picture stays";
    form->RemoveRow(0);
    EXPECT_FALSE(form->Image4()->HasPicture());

    form->AddRow({QStringLiteral("00000003.jpg"), QStringLiteral("1"), QStringLiteral("1")});
    form->ShowBrowsePicture(shown);
    form->ClearRows();
    EXPECT_FALSE(form->Image4()->HasPicture());
}

TEST_F(WindowPortTest, BoxesAndDialogsCarryTheirCaptionsFiltersAndAnswers) {
    dialogs.QueueAnswer(false);
    dialogs.QueueAnswer(true);
    dialogs.QueueFile({QStringLiteral("/pictures/slide.bmp"), 2});
    dialogs.QueueFile({QStringLiteral("/pictures/P2024_1.jpg"), 1});
    std::optional<OpenPictureChoice> upload;
    std::optional<QString> snapshot;
    std::optional<QString> jpeg;
    bool first = true;
    bool second = false;
    OnWorker([&] {
        form->ShowInfo(QStringLiteral("info"));
        form->ShowError(QStringLiteral("error"));
        first = form->AskOkCancel(QStringLiteral("question"));
        second = form->AskWarning(QStringLiteral("save?"));
        upload = form->ChooseUploadPicture();
        snapshot = form->ChooseSnapshotFile(QStringLiteral("P2024_1.jpg"));
        jpeg = form->ChooseJpegFile(QStringLiteral("00000003.jpg"));  // nothing queued: Cancel
    });
    ASSERT_EQ(dialogs.boxes.size(), 4U);
    const struct {
        const char* caption;
        BoxIcon icon;
        BoxButtons buttons;
        bool onTop;
    } boxes[] = {
        {"Digital Microscope", BoxIcon::Information, BoxButtons::Ok, true},
        {"Digital Microscope", BoxIcon::Error, BoxButtons::Ok, true},
        {"Digital Microscope", BoxIcon::Information, BoxButtons::OkCancel, true},
        {"Warning", BoxIcon::None, BoxButtons::OkCancel, false},
    };
    for (std::size_t i = 0; i < std::size(boxes); ++i) {
        EXPECT_EQ(dialogs.boxes[i].caption, QString::fromLatin1(boxes[i].caption)) << i;
        EXPECT_EQ(dialogs.boxes[i].icon, boxes[i].icon) << i;
        EXPECT_EQ(dialogs.boxes[i].buttons, boxes[i].buttons) << i;
        EXPECT_EQ(dialogs.boxes[i].onTop, boxes[i].onTop) << i;
    }
    EXPECT_EQ(dialogs.boxes[3].text, QStringLiteral("save?"));
    EXPECT_FALSE(first);
    EXPECT_TRUE(second);

    ASSERT_EQ(dialogs.files.size(), 3U);
    EXPECT_EQ(dialogs.files[0].mode, FileDialogMode::Open);
    EXPECT_EQ(dialogs.files[0].filters, (QStringList{QStringLiteral("JPEG Image File (*.jpg)"),
                                                     QStringLiteral("Bitmaps (*.bmp)")}));
    ASSERT_TRUE(upload.has_value());
    EXPECT_EQ(upload->path, QStringLiteral("/pictures/slide.bmp"));
    EXPECT_EQ(upload->filterIndex, 2);

    EXPECT_EQ(dialogs.files[1].mode, FileDialogMode::Save);
    EXPECT_EQ(dialogs.files[1].fileName, QStringLiteral("P2024_1.jpg"));
    EXPECT_EQ(dialogs.files[1].defaultSuffix, QStringLiteral("jpg"));
    EXPECT_EQ(snapshot, QStringLiteral("/pictures/P2024_1.jpg"));

    EXPECT_EQ(dialogs.files[2].mode, FileDialogMode::Save);
    EXPECT_EQ(dialogs.files[2].filters, QStringList{QStringLiteral("JPEG file (*.jpg)")});
    EXPECT_EQ(dialogs.files[2].defaultSuffix, QStringLiteral("jpg"));
    EXPECT_EQ(dialogs.files[2].fileName, QStringLiteral("00000003.jpg"));
    EXPECT_FALSE(jpeg.has_value());
}

TEST_F(WindowPortTest, SaveDialogsStartInPicturesThenInTheLastFolderAndProposeNoTakenName) {
    const QString pictures = DataFile(QStringLiteral("pictures"));
    const QString elsewhere = DataFile(QStringLiteral("elsewhere"));
    ASSERT_TRUE(QDir().mkpath(pictures) && QDir().mkpath(elsewhere) &&
                QDir().mkpath(DataFile(QStringLiteral("config"))));
    WriteDataFile(QStringLiteral("config/user-dirs.dirs"),
                  "XDG_PICTURES_DIR=\"" + pictures.toUtf8() + "\"\n");
    WriteDataFile(QStringLiteral("pictures/00000003.jpg"), "taken");
    SetEnv("XDG_CONFIG_HOME", DataFile(QStringLiteral("config")).toLocal8Bit().constData());
    form.reset();
    ASSERT_TRUE((Start(), started));
    dialogs.QueueFile({elsewhere + QStringLiteral("/mine.jpg"), 1});
    OnWorker([&] {
        form->ChooseJpegFile(QStringLiteral("00000003.jpg"));
        form->ChooseSnapshotFile(QStringLiteral("P20261208_1.jpg"));  // Cancel
    });
    form.reset();  // the folder is remembered from one run to the next
    ASSERT_TRUE((Start(), started));
    OnWorker([&] { form->ChooseJpegFile(QStringLiteral("00000004.jpg")); });
    ASSERT_EQ(dialogs.files.size(), 3U);
    EXPECT_EQ(dialogs.files[0].folder, pictures);
    EXPECT_EQ(dialogs.files[0].fileName, QStringLiteral("00000003_2.jpg"));
    EXPECT_EQ(dialogs.files[1].folder, elsewhere);
    EXPECT_EQ(dialogs.files[1].fileName, QStringLiteral("P20261208_1.jpg"));
    EXPECT_EQ(dialogs.files[2].folder, elsewhere);
}

TEST_F(WindowPortTest, SnapshotsWithoutAskingGoToTheChosenFolderUnderFreeNames) {
    const QString folder = DataFile(QStringLiteral("snaps"));
    ASSERT_TRUE(QDir().mkpath(folder));
    WriteDataFile(QStringLiteral("snaps/P20261208_1.jpg"), "taken");
    dialogs.QueueFile({QString(), 1});  // the folder dialog cancelled: it stays off
    dialogs.QueueFile({folder, 1});
    auto* item = Find<QAction>(*form, "SnapshotsUnasked");
    EXPECT_FALSE(item->isChecked());
    item->trigger();
    EXPECT_FALSE(item->isChecked());
    item->trigger();
    EXPECT_TRUE(item->isChecked());
    ASSERT_EQ(dialogs.files.size(), 2U);
    EXPECT_EQ(dialogs.files[1].mode, FileDialogMode::Folder);
    std::optional<QString> unasked;
    OnWorker([&] {
        unasked = form->UnaskedSnapshotFile(QStringLiteral("P20261208_1.jpg"));
        form->ShowStatus(QStringLiteral("Saved there"));
    });
    EXPECT_EQ(unasked, folder + QStringLiteral("/P20261208_2.jpg"));
    EXPECT_EQ(form->statusBar()->currentMessage(), QStringLiteral("Saved there"));
    item->trigger();
    OnWorker([&] { unasked = form->UnaskedSnapshotFile(QStringLiteral("P20261208_1.jpg")); });
    EXPECT_FALSE(unasked.has_value());
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(WindowPortTest, WorkerWaitingOnAnOpenBoxIsReleasedWhenTheWindowCloses) {
    dialogs.Hold();  // the user leaves the box open
    // Closes the window from inside the box's own event loop once the box is open.
    QTimer closer;
    closer.setInterval(20);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (!dialogs.boxes.empty()) {
            closer.stop();
            form->close();
        }
    });
    closer.start();
    bool answer = true;
    int rows = -1;
    std::optional<QString> file = QStringLiteral("x");
    OnWorker([&] {
        answer = form->AskOkCancel(QStringLiteral("Delete all pictures?"));
        rows = form->RowCount();  // the window is gone: answered at once
        file = form->ChooseJpegFile(QStringLiteral("a.jpg"));
    });
    EXPECT_EQ(dialogs.boxes.size(), 1U);
    EXPECT_FALSE(answer);
    EXPECT_EQ(rows, 0);
    EXPECT_FALSE(file.has_value());
    EXPECT_GE(dialogs.closeAllCalls, 1);
}

TEST_F(WindowPortTest, WorkerWaitingOnABusyWindowIsReleasedWhenTheWindowCloses) {
    std::atomic<bool> finished{false};
    std::atomic<bool> answer{true};
    std::thread worker([&] {
        answer = form->AskOkCancel(QStringLiteral("question"));
        finished = true;
    });
    // The window thread does not handle events, so the question waits; closing frees it.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(finished);
    form->close();
    worker.join();
    EXPECT_FALSE(answer);
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(WindowPortTest, PictureAreaCalls) {
    QImage red(2, 2, QImage::Format_RGB32);
    red.fill(Qt::red);
    PictureBox* image3 = form->Image3();
    image3->setGeometry(-40, -30, 400, 300);  // left so by a digital zoom
    OnWorker([&] {
        form->ShowPreview(red);
        form->SetBrowseViewVisible(false);
    });
    const QImage shown = image3->Picture();
    ASSERT_EQ(shown.size(), QSize(320, 240));
    for (QPoint at : {QPoint(0, 0), QPoint(319, 239), QPoint(160, 120)}) {
        EXPECT_EQ(shown.pixelColor(at), QColor(Qt::red));
    }
    EXPECT_FALSE(form->Image4()->isVisibleTo(form.get()));
    OnWorker([&] {
        form->RestoreLiveViewGeometry();
        form->SetBrowseViewVisible(true);
    });
    EXPECT_EQ(image3->geometry(), QRect(0, 0, 320, 240));
    EXPECT_TRUE(form->Image4()->isVisibleTo(form.get()));
}

TEST_F(WindowPortTest, CameraGlyphComesFromTheStartupFolder) {
    OnWorker([&] { form->SetCameraGlyph(QStringLiteral("Camera-Off.bmp")); });
    const QImage expected = LoadGlyph(DataFile(QStringLiteral("Camera-Off.bmp"))).toImage();
    ASSERT_FALSE(expected.isNull());
    const QImage shown =
        Find<QToolButton>(*form, "CameraBtn")->icon().pixmap(expected.size()).toImage();
    EXPECT_EQ(shown.convertToFormat(QImage::Format_ARGB32),
              expected.convertToFormat(QImage::Format_ARGB32));
    // The background colour of the glyph file is see-through.
    EXPECT_EQ(expected.pixelColor(0, expected.height() - 1).alpha(), 0);
}

TEST_F(WindowPortTest, CheckBoxesAreReadableFromAnyThread) {
    Find<QCheckBox>(*form, "CheckBox1")->setChecked(true);
    bool ruler = false;
    bool magnification = true;
    OnWorker([&] {
        ruler = form->ShowRulerChecked();
        magnification = form->ShowMagnificationChecked();
    });
    EXPECT_TRUE(ruler);
    EXPECT_FALSE(magnification);
    Find<QCheckBox>(*form, "CheckBox2")->setChecked(true);
    OnWorker([&] { magnification = form->ShowMagnificationChecked(); });
    EXPECT_TRUE(magnification);
}

class ExitTest : public WindowPortTest {
  protected:
    void SetUp() override {
        WindowPortTest::SetUp();
        port.open = true;
        form->SetDevicePort(&port);
        form->SetExitCleanup([this] { log.push_back("cleanup"); });
        form->show();
    }
    std::vector<std::string> log;
    RecordingPort port{log};
};

TEST_F(ExitTest, CloseBoxSendsTheDisconnectFrameOnceAndKeepsThePort) {
    form->close();
    EXPECT_EQ(log, (std::vector<std::string>{"Write F8 12 00 00", "cleanup"}));
    EXPECT_TRUE(port.open);
    EXPECT_FALSE(Find<QTimer>(*form, "Timer1")->isActive());
    form->close();
    EXPECT_EQ(log.size(), 2U);
}

TEST_F(ExitTest, ExitMenuAndExitButtonAlsoCloseThePortBeforeTheCleanUp) {
    Find<QAction>(*form, "Exit1")->trigger();
    EXPECT_EQ(log, (std::vector<std::string>{"Write F8 12 00 00", "ClosePort", "cleanup"}));
    EXPECT_FALSE(form->isVisible());

    log.clear();
    form.reset();
    Start();
    port.open = true;
    form->SetDevicePort(&port);
    form->SetExitCleanup([this] { log.push_back("cleanup"); });
    form->show();
    QTest::mouseClick(Find<QToolButton>(*form, "ExitBtn"), Qt::LeftButton);
    EXPECT_EQ(log, (std::vector<std::string>{"Write F8 12 00 00", "ClosePort", "cleanup"}));
}

TEST_F(ExitTest, NothingIsSentWithoutAnOpenPort) {
    port.open = false;
    Find<QAction>(*form, "Exit1")->trigger();
    EXPECT_EQ(log, (std::vector<std::string>{"ClosePort", "cleanup"}));
}

}  // namespace
}  // namespace dm::test

// SPDX-License-Identifier: GPL-3.0-or-later
// The About box, built afresh on each opening, and the save-path dialog.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest/QTest>

#include "app/about_dialog.h"
#include "app/directory_dialog.h"
#include "app/picture_box.h"
#include "support/app_fixture.h"
#include "support/built_program.h"

namespace dm::test {
namespace {

struct AboutSeen {
    QString label1;
    QString label3;
    bool logoLoaded = false;
    QSize logoSize;
    const QDialog* dialog = nullptr;
};

class AboutTest : public AppFixture {
  protected:
    AboutSeen OpenAbout() {
        AboutSeen seen;
        dialogs.onDialog = [&](QDialog& dialog) {
            auto& about = dynamic_cast<TAboutDlg&>(dialog);
            seen.label1 = Find<QLabel>(about, "Label1")->text();
            seen.label3 = Find<QLabel>(about, "Label3")->text();
            seen.logoLoaded = about.LogoLoaded();
            seen.logoSize = Find<PictureBox>(about, "Image1")->size();
            seen.dialog = &dialog;
        };
        Find<QAction>(*form, "About1")->trigger();
        return seen;
    }
};

TEST_F(AboutTest, ShowsTitleVersionAndLogo) {
    EditDataLine(QStringLiteral("System.ini"), "Version_Info=", "Version_Info=3.05");
    Start();
    const AboutSeen seen = OpenAbout();
    EXPECT_EQ(dialogs.dialogsRun, 1);
    EXPECT_EQ(seen.label1, QStringLiteral("Digital Microscope"));
    EXPECT_EQ(seen.label3, QStringLiteral("Version  3.05"));
    EXPECT_TRUE(seen.logoLoaded);
    EXPECT_EQ(seen.logoSize, QImage(DataFile(QStringLiteral("Small_Logo.bmp"))).size());
}

TEST_F(AboutTest, EveryOpeningReadsTheLogoAgain) {
    Start();
    EXPECT_EQ(OpenAbout().logoSize, QSize(81, 57));
    QImage smaller(40, 30, QImage::Format_RGB888);
    smaller.fill(Qt::blue);
    ASSERT_TRUE(smaller.save(DataFile(QStringLiteral("Small_Logo.bmp")), "BMP"));
    EXPECT_EQ(OpenAbout().logoSize, QSize(40, 30));
    ASSERT_TRUE(QFile::remove(DataFile(QStringLiteral("Small_Logo.bmp"))));
    const AboutSeen third = OpenAbout();
    EXPECT_FALSE(third.logoLoaded);
    EXPECT_EQ(third.label3, QStringLiteral("Version  " DM_VERSION));  // the labels do not need it
    EXPECT_EQ(dialogs.dialogsRun, 3);
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(AboutTest, EmptyTitleAndMissingVersionLeaveTheirLabelsBare) {
    EditDataLine(QStringLiteral("System.ini"), "Company_Title=", "Company_Title=");
    EditDataLine(QStringLiteral("System.ini"), "Version_Info=", QByteArray());
    Start();
    const AboutSeen seen = OpenAbout();
    EXPECT_EQ(seen.label1, QString());
    EXPECT_EQ(seen.label3, QStringLiteral("Version  "));
}

TEST_F(AboutTest, LayoutKeepsTheLinkHiddenAndEscapeDoesNotClose) {
    TAboutDlg about(QStringLiteral("Title"), QStringLiteral("1.0"), StartFolder());
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About"));
    EXPECT_EQ(about.size(), QSize(318, 270));
    EXPECT_TRUE(Find<QLabel>(about, "Label4")->isHidden());
    EXPECT_EQ(Find<QLabel>(about, "Label2")->text(),
              QStringLiteral("Digital Microscope companion"));
    EXPECT_EQ(Find<QLabel>(about, "Label5")->text(),
              QStringLiteral("All rights reserved by its authors"));
    auto* ok = Find<QPushButton>(about, "OKBtn");
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(ok->geometry(), QRect(119, 248, 75, 21));
    EXPECT_EQ(Find<PictureBox>(about, "Image1")->pos(), QPoint(120, 328));
    about.show();
    QTest::keyClick(&about, Qt::Key_Escape);
    EXPECT_TRUE(about.isVisible());
    QTest::keyClick(&about, Qt::Key_Return);
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Accepted);
}

TEST(ShippedSystemIni, CarriesTheVersionOfTheBuildAndOtherwiseTheDataFile) {
    QFile source(QStringLiteral(DM_SOURCE_TREE "/data/System.ini"));
    QFile built(QString::fromStdString(BuiltProgram("data/System.ini")));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly) && built.open(QIODevice::ReadOnly));
    QList<QByteArray> sourceLines = source.readAll().split('\n');
    const QList<QByteArray> builtLines = built.readAll().split('\n');
    for (QByteArray& line : sourceLines) {
        if (line.startsWith("Version_Info=")) {
            line = QByteArray("Version_Info=" DM_VERSION);
        }
    }
    EXPECT_EQ(builtLines, sourceLines);
}

TEST(DirectoryDialog, OffersDrivesAndTheirFolders) {
    TDirectoryDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Select Save Path"));
    EXPECT_EQ(dialog.size(), QSize(353, 269));
    auto* drives = dialog.findChild<QComboBox*>(QStringLiteral("DriveComboBox1"));
    ASSERT_NE(drives, nullptr);
    ASSERT_GT(drives->count(), 0);
    EXPECT_EQ(drives->geometry(), QRect(32, 16, 289, 19));
    auto* folders = dialog.findChild<QTreeWidget*>(QStringLiteral("DirectoryListBox1"));
    ASSERT_NE(folders, nullptr);
    EXPECT_EQ(folders->geometry(), QRect(32, 48, 289, 177));
    drives->setCurrentIndex(drives->count() - 1);
    EXPECT_EQ(dialog.SelectedFolder(), drives->currentText());
    ASSERT_EQ(folders->topLevelItemCount(), 1);
    const QDir drive(drives->currentText());
    EXPECT_EQ(folders->topLevelItem(0)->childCount(),
              drive.entryList(QDir::AllDirs | QDir::NoDotAndDotDot).size());
    EXPECT_TRUE(dialog.findChild<QPushButton*>(QStringLiteral("OKBtn"))->isDefault());
    dialog.show();
    dialog.findChild<QPushButton*>(QStringLiteral("CancelBtn"))->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

}  // namespace
}  // namespace dm::test

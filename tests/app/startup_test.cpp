// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up: configuration files present or missing, caption, icon, logo and start-up
// picture, the language the system locale picks, and the scratch folder.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>

#include "app/language.h"
#include "app/picture_box.h"
#include "app/system_language.h"
#include "app/system_parameters.h"
#include "support/app_fixture.h"

namespace dm::test {
namespace {

class StartupTest : public AppFixture {
  protected:
    void ExpectLoadFailure() {
        EXPECT_FALSE(started);
        ASSERT_EQ(dialogs.boxes.size(), 1U);
        EXPECT_EQ(dialogs.boxes[0].text, QStringLiteral("Load system parameter fail"));
        EXPECT_EQ(dialogs.boxes[0].caption, QStringLiteral("Error Message"));
        EXPECT_EQ(dialogs.boxes[0].icon, BoxIcon::None);
        EXPECT_EQ(dialogs.boxes[0].buttons, BoxButtons::Ok);
    }
};

TEST_F(StartupTest, MissingSystemIniEndsTheProgramAfterTheBox) {
    ASSERT_TRUE(QFile::remove(DataFile(QStringLiteral("System.ini"))));
    Start();
    ExpectLoadFailure();
}

TEST_F(StartupTest, AnyMissingLanguageFileEndsTheProgramAfterTheBox) {
    for (int language = kTraditionalChinese; language < kLanguageCount; ++language) {
        const QString name = QString::fromLatin1(LanguageAt(language).fileName);
        SCOPED_TRACE(name.toStdString());
        const QString aside = DataFile(QStringLiteral("aside.ini"));
        ASSERT_TRUE(QFile::rename(DataFile(name), aside));
        dialogs.boxes.clear();
        Start();
        ExpectLoadFailure();
        form.reset();
        ASSERT_TRUE(QFile::rename(aside, DataFile(name)));
    }
}

TEST_F(StartupTest, CaptionIsTheCompanyTitleAndEmptyWithoutIt) {
    EditDataLine(QStringLiteral("System.ini"), "Company_Title=", "Company_Title=Lab Bench Viewer");
    EXPECT_EQ(Start().windowTitle(), QStringLiteral("Lab Bench Viewer"));
    EXPECT_TRUE(started);
    form.reset();
    EditDataLine(QStringLiteral("System.ini"), "Company_Title=", QByteArray());
    EXPECT_EQ(Start().windowTitle(), QString());
    EXPECT_TRUE(started);
}

TEST_F(StartupTest, PicturesComeFromTheStartupFolder) {
    TForm1& window = Start();
    ASSERT_TRUE(started);
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_EQ(window.StartupFolder(), QDir::currentPath());
    EXPECT_EQ(window.Parameters().iconFile, DataFile(QStringLiteral("Microscope.png")));
    EXPECT_FALSE(window.windowIcon().isNull());
    const QImage logo(DataFile(QStringLiteral("Logo.bmp")));
    EXPECT_EQ(window.Image1()->size(), logo.size());
    EXPECT_EQ(window.Image1()->Picture().convertToFormat(QImage::Format_RGB32),
              logo.convertToFormat(QImage::Format_RGB32));
    const QImage startup(DataFile(QStringLiteral("Startup.bmp")));
    EXPECT_EQ(window.Image3()->Picture().convertToFormat(QImage::Format_RGB32),
              startup.convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(window.Image3()->geometry(), QRect(0, 0, 320, 240));
    EXPECT_TRUE(window.Image3()->Stretch());
    EXPECT_FALSE(window.Image3()->AutoSize());
    EXPECT_EQ(window.State().getSnapshotSelector.load(), 1);
}

TEST_F(StartupTest, MissingPicturesLeaveDefaultsAndStartUpGoesOn) {
    for (const char* name : {"Microscope.png", "Logo.bmp", "Startup.bmp"}) {
        ASSERT_TRUE(QFile::remove(DataFile(QString::fromLatin1(name))));
    }
    SetEnv("LANG", "ru_RU.UTF-8");
    TForm1& window = Start();
    ASSERT_TRUE(started);
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_FALSE(window.Image1()->HasPicture());
    const QImage view = window.Image3()->Picture();
    ASSERT_EQ(view.size(), QSize(320, 240));
    EXPECT_EQ(view.pixelColor(0, 0), QColor(Qt::black));
    EXPECT_EQ(view.pixelColor(319, 239), QColor(Qt::black));
    // The later steps still ran.
    EXPECT_EQ(window.CurrentLanguage(), kRussian);
    EXPECT_TRUE(QFileInfo(CacheFolder()).isDir());
}

TEST_F(StartupTest, SystemLocaleWinsOverALanguageNotPicked) {
    // A System.ini from before LanguagePicked existed.
    EditDataLine(QStringLiteral("System.ini"), "LanguagePicked=", QByteArray());
    EditDataLine(QStringLiteral("System.ini"), "LanguageMode=", "LanguageMode=3");
    SetEnv("LANG", "ja_JP.UTF-8");
    TForm1& window = Start();
    ASSERT_TRUE(started);
    EXPECT_EQ(window.Parameters().languageMode, kSimplifiedChinese);
    EXPECT_FALSE(window.Parameters().languagePicked);
    EXPECT_EQ(window.CurrentLanguage(), kJapanese);
    EXPECT_EQ(Find<QMenu>(window, "F1")->title(), QStringLiteral("ファイル(&F)"));
    EXPECT_EQ(window.Message(13), QStringLiteral("画像 %d を顕微鏡から削除しますか？"));
}

TEST_F(StartupTest, PickedLanguageWinsOverTheLocaleAndBadNumbersAreEnglish) {
    EditDataLine(QStringLiteral("System.ini"), "LanguagePicked=", "LanguagePicked=1");
    EditDataLine(QStringLiteral("System.ini"), "LanguageMode=", "LanguageMode=3");
    SetEnv("LANG", "ja_JP.UTF-8");
    EXPECT_EQ(Start().CurrentLanguage(), kSimplifiedChinese);
    EXPECT_EQ(Find<QMenu>(*form, "F1")->title(),
              IniValue(QStringLiteral("System_SC.ini"), QStringLiteral("SimpleChinese"),
                       QStringLiteral("SC_Message1")));
    form.reset();
    EditDataLine(QStringLiteral("System.ini"), "LanguageMode=", "LanguageMode=9");
    EXPECT_EQ(Start().CurrentLanguage(), kEnglish);
    form.reset();
    EditDataLine(QStringLiteral("System.ini"), "LanguageMode=", QByteArray());
    EXPECT_EQ(Start().CurrentLanguage(), kEnglish);
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(StartupTest, LocaleVariablesAreTakenInOrder) {
    SetEnv("LANG", "ja_JP.UTF-8");
    SetEnv("LC_MESSAGES", "tr_TR.UTF-8");
    EXPECT_EQ(SystemLanguageId(), QStringLiteral("041f"));
    SetEnv("LC_ALL", "ru_RU.UTF-8");
    EXPECT_EQ(SystemLanguageId(), QStringLiteral("0419"));
    SetEnv("LC_ALL", "");  // set but empty counts as not set
    EXPECT_EQ(SystemLanguageId(), QStringLiteral("041f"));
    SetEnv("LANG", "en_GB.UTF-8");
    SetEnv("LC_MESSAGES", nullptr);
    EXPECT_EQ(SystemLanguageId(), QStringLiteral("0409"));
    EditDataLine(QStringLiteral("System.ini"), "LanguageMode=", "LanguageMode=5");
    EXPECT_EQ(Start().CurrentLanguage(), kEnglish);
}

TEST(SystemLanguage, PosixLocalesMapToLanguageIdentifiers) {
    const struct {
        const char* locale;
        const char* id;
        int language;
    } cases[] = {
        {"zh_TW.UTF-8", "0404", kTraditionalChinese},
        {"zh_HK", "0404", kTraditionalChinese},
        {"zh_CN.GB18030", "0804", kSimplifiedChinese},
        {"zh_SG", "0804", kSimplifiedChinese},
        {"ja_JP.UTF-8", "0411", kJapanese},
        {"ja", "0411", kJapanese},
        {"tr_TR.UTF-8", "041f", kTurkish},
        {"ru_RU.UTF-8@euro", "0419", kRussian},
        {"en_US.UTF-8", "0409", kEnglish},
        {"C", "0409", kEnglish},
        {"POSIX", "0409", kEnglish},
        {"", "0409", kEnglish},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LocaleIdForPosixLocale(QString::fromLatin1(c.locale)), QString::fromLatin1(c.id))
            << c.locale;
        EXPECT_EQ(LanguageForLocaleId(QString::fromLatin1(c.id)), c.language) << c.locale;
    }
    // Identifiers compare exactly, with case.
    EXPECT_EQ(LanguageForLocaleId(QStringLiteral("041F")), kEnglish);
}

TEST(SystemParameters, LanguageModeThatIsNoLanguageNumberIsEnglish) {
    EXPECT_EQ(ParseLanguageMode(QStringLiteral("4")), kTurkish);
    EXPECT_EQ(ParseLanguageMode(QStringLiteral(" 2 ")), kJapanese);
    for (const char* text : {"", "abc", "6", "-1", "2x", "0x3"}) {
        EXPECT_EQ(ParseLanguageMode(QString::fromLatin1(text)), kEnglish) << text;
    }
}

TEST(SystemParameters, OnlyADecimalOneMarksALanguageAsPicked) {
    EXPECT_TRUE(ParseLanguagePicked(QStringLiteral("1")));
    EXPECT_TRUE(ParseLanguagePicked(QStringLiteral(" 1 ")));
    for (const char* text : {"", "0", "2", "-1", "yes", "true", "1x", "0x1"}) {
        EXPECT_FALSE(ParseLanguagePicked(QString::fromLatin1(text))) << text;
    }
}

TEST_F(StartupTest, ExistingScratchFolderIsUsedAsItIs) {
    const QString scratch = CacheFolder();
    ASSERT_TRUE(QDir().mkpath(scratch));
    QFile kept(scratch + QStringLiteral("/12.BMP"));
    ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
    kept.write("picture");
    kept.close();
    TForm1& window = Start();
    ASSERT_TRUE(started);
    EXPECT_EQ(window.ScratchFolder(), QDir::toNativeSeparators(scratch + QLatin1Char('/')));
    EXPECT_TRUE(QFile::exists(scratch + QStringLiteral("/12.BMP")));
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(StartupTest, ScratchFolderIsInTheCacheFolderNeverInTheProfile) {
    const QString cache = QDir(StartFolder()).filePath(QStringLiteral("cache"));
    SetEnv("XDG_CACHE_HOME", cache.toLocal8Bit().constData());
    Start();
    EXPECT_TRUE(QFileInfo(cache + QStringLiteral("/digital-microscope")).isDir());
    EXPECT_EQ(QDir(ProfileFolder()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList());
}

TEST_F(StartupTest, ScratchFolderThatCannotBeMadeIsReportedAndTheProgramRunsOn) {
    // A profile that is a file: no folder can be made inside it, even by root.
    const QString notAFolder = DataFile(QStringLiteral("System_TR.ini"));
    SetEnv("HOME", notAFolder.toLocal8Bit().constData());
    TForm1& window = Start();
    EXPECT_TRUE(started);
    ASSERT_EQ(dialogs.boxes.size(), 1U);
    EXPECT_EQ(dialogs.boxes[0].text, QStringLiteral("Cannot create") + window.ScratchFolder());
    EXPECT_EQ(dialogs.boxes[0].icon, BoxIcon::Error);
    EXPECT_TRUE(window.ScratchFolder().startsWith(QDir::toNativeSeparators(notAFolder)));
}

}  // namespace
}  // namespace dm::test

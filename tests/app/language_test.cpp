// SPDX-License-Identifier: GPL-3.0-or-later
// Switching the language: captions and hints of every language, the stored pick outlasting
// a restart, the shipped language files, and how System.ini survives being written,
// including when it cannot be written.
#include <sys/resource.h>
#include <unistd.h>
#include <csignal>
#include <string>

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QStringList>
#include <QToolButton>

#include "app/glyph.h"
#include "app/ini_file.h"
#include "app/language.h"
#include "app/message_catalogue.h"
#include "base/message_numbers.h"
#include "support/app_fixture.h"

namespace dm::test {
namespace {

const char* const kLanguageItems[] = {"EnglishMenu",       "ChineseMenu", "JapanMenu",
                                      "SimpleChineseMenu", "Turkish1",    "Russian1"};

class LanguageTest : public AppFixture {
  protected:
    // The texts of a language straight from its file.
    QString FileMessage(int language, int number) const {
        const LanguageInfo& info = LanguageAt(language);
        return IniValue(
            QString::fromLatin1(info.fileName), QString::fromLatin1(info.section),
            QStringLiteral("%1_Message%2").arg(QLatin1String(info.keyPrefix)).arg(number));
    }

    void ExpectTextsOf(int language) {
        SCOPED_TRACE(language);
        TForm1& window = *form;
        const struct {
            QString shown;
            int message;
        } texts[] = {
            {Find<QMenu>(window, "F1")->title(), 1},
            {Find<QMenu>(window, "Image2")->title(), 2},
            {Find<QMenu>(window, "Language1")->title(), 3},
            {Find<QMenu>(window, "Help1")->title(), 4},
            {Find<QAction>(window, "Exit1")->text(), 5},
            {Find<QAction>(window, "About1")->text(), 6},
            {Find<QCheckBox>(window, "CheckBox2")->text(), 19},
            {Find<QCheckBox>(window, "CheckBox1")->text(), 20},
            {Find<QToolButton>(window, "ConnectBtn")->toolTip(), window.Connected() ? 22 : 21},
            {Find<QToolButton>(window, "UploadBtn")->toolTip(), 23},
            {Find<QToolButton>(window, "DownloadBtn")->toolTip(), 24},
            {Find<QToolButton>(window, "SaveBtn")->toolTip(), 25},
            {Find<QToolButton>(window, "SaveAllBtn")->toolTip(), 26},
            {Find<QToolButton>(window, "DelBtn")->toolTip(), 27},
            {Find<QToolButton>(window, "DelAllBtn")->toolTip(), 28},
        };
        for (const auto& text : texts) {
            EXPECT_EQ(text.shown, FileMessage(language, text.message))
                << "message " << text.message;
            EXPECT_FALSE(text.shown.isEmpty()) << "message " << text.message;
        }
        EXPECT_EQ(Find<QToolButton>(window, "ExitBtn")->toolTip(), QStringLiteral("Exit"));
        for (int item = 0; item < kLanguageCount; ++item) {
            const QAction* action = Find<QAction>(window, kLanguageItems[item]);
            EXPECT_EQ(action->text(), QString::fromUtf8(LanguageAt(item).menuCaption));
            EXPECT_EQ(action->isChecked(), item == language) << "only the current one is marked";
        }
    }

    QString StoredLanguageMode() const { return StoredParameter("LanguageMode"); }
    QString StoredLanguagePicked() const { return StoredParameter("LanguagePicked"); }

  private:
    QString StoredParameter(const char* key) const {
        return IniValue(QStringLiteral("System.ini"), QStringLiteral("Image_Envirnment"),
                        QString::fromLatin1(key));
    }
};

TEST_F(LanguageTest, EachMenuItemAppliesItsTextsAndStoresItsNumber) {
    Start();
    ASSERT_TRUE(started);
    for (int language : {kTurkish, kJapanese, kRussian, kTraditionalChinese, kSimplifiedChinese,
                         kEnglish, kEnglish}) {
        Find<QAction>(*form, kLanguageItems[language])->trigger();
        EXPECT_EQ(form->CurrentLanguage(), language);
        ExpectTextsOf(language);
        EXPECT_EQ(StoredLanguageMode(), QString::number(language));
        EXPECT_EQ(StoredLanguagePicked(), QStringLiteral("1"));
    }
    EXPECT_TRUE(dialogs.boxes.empty());
}

// Every '%' and the character after it, sorted and space-separated: the placeholders a
// text carries.
std::string Placeholders(const QString& text) {
    static const QRegularExpression placeholder(QStringLiteral("%."));
    QStringList found;
    for (const QRegularExpressionMatch& match : placeholder.globalMatch(text)) {
        found.append(match.captured());
    }
    found.sort();
    return found.join(u' ').toStdString();
}

// The files' own messages carry none but 13's picture number; the added ones carry what
// their built-in English text carries.
std::string ExpectedPlaceholders(int number) {
    if (number >= message::kFirstAdded) {
        return Placeholders(QString::fromUtf8(message::BuiltInEnglishText(number)));
    }
    return number == message::kDeleteOneQuestion ? "%d" : "";
}

TEST(LanguageFiles, ShippedFilesHoldEveryMessageWithTheEnglishPlaceholders) {
    const QString sourceTree = qEnvironmentVariableIsEmpty("DM_SOURCE_DIR")
                                   ? QString::fromUtf8(DM_SOURCE_TREE)
                                   : qEnvironmentVariable("DM_SOURCE_DIR");
    for (int language = 0; language < kLanguageCount; ++language) {
        const LanguageInfo& info = LanguageAt(language);
        SCOPED_TRACE(info.fileName);
        IniFile file;
        ASSERT_TRUE(
            file.Load(sourceTree + QStringLiteral("/data/") + QString::fromLatin1(info.fileName)));
        const QString section = QString::fromLatin1(info.section);
        for (int number = 1; number <= kMessageCount; ++number) {
            const QString text = file.Value(
                section,
                QStringLiteral("%1_Message%2").arg(QLatin1String(info.keyPrefix)).arg(number));
            EXPECT_FALSE(text.isEmpty()) << number;
            EXPECT_EQ(Placeholders(text), ExpectedPlaceholders(number)) << number;
            if (language == kEnglish && number >= message::kFirstAdded) {
                EXPECT_EQ(text, QString::fromUtf8(message::BuiltInEnglishText(number))) << number;
            }
        }
    }
}

TEST_F(LanguageTest, PickedLanguageOutlastsARestartAndOnlyItsKeysAreRewritten) {
    const QByteArray before = ReadDataFile(QStringLiteral("System.ini"));
    ASSERT_FALSE(before.contains("LanguagePicked=1")) << "the shipped file follows the locale";
    Start();
    Find<QAction>(*form, "Turkish1")->trigger();
    const QByteArray after = ReadDataFile(QStringLiteral("System.ini"));
    QByteArray expected = before;
    expected.replace("LanguageMode=0", "LanguageMode=4");
    expected.replace("LanguagePicked=0", "LanguagePicked=1");
    EXPECT_EQ(after, expected);
    EXPECT_TRUE(after.contains("; The program writes back only LanguageMode"));

    // The next start shows the pick whatever the locale says.
    form.reset();
    SetEnv("LANG", "en_US.UTF-8");
    SetEnv("LC_ALL", "en_US.UTF-8");
    EXPECT_EQ(Start().CurrentLanguage(), kTurkish);
    ExpectTextsOf(kTurkish);
    EXPECT_EQ(StoredLanguageMode(), QStringLiteral("4"));
    EXPECT_EQ(StoredLanguagePicked(), QStringLiteral("1"));
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(LanguageTest, MissingKeyGivesAnEmptyTextButAnAddedOneItsEnglishText) {
    EditDataLine(QStringLiteral("System_JPN.ini"), "JPN_Message3=", QByteArray());
    EditDataLine(QStringLiteral("System_JPN.ini"), "JPN_Message37=", QByteArray());
    Start();
    Find<QAction>(*form, "JapanMenu")->trigger();
    EXPECT_EQ(Find<QMenu>(*form, "Language1")->title(), QString());
    EXPECT_EQ(form->Message(3), QString());
    EXPECT_EQ(Find<QMenu>(*form, "F1")->title(), FileMessage(kJapanese, 1));
    EXPECT_EQ(Find<QMenu>(*form, "Help1")->title(), FileMessage(kJapanese, 4));
    EXPECT_EQ(form->Message(message::kDownloadIncomplete),
              QString::fromUtf8(message::BuiltInEnglishText(message::kDownloadIncomplete)));
    EXPECT_EQ(form->Message(message::kSaveAllSummary),
              FileMessage(kJapanese, message::kSaveAllSummary));  // its neighbours stay Japanese
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(LanguageTest, ConnectButtonFollowsTheConnectionAndThePromptGoesForGood) {
    Start();
    auto* prompt = Find<QLabel>(*form, "ConnectPrompt");
    Find<QAction>(*form, "JapanMenu")->trigger();
    EXPECT_EQ(prompt->text(), FileMessage(kJapanese, message::kConnectPrompt));
    EXPECT_TRUE(prompt->isVisibleTo(form.get()));
    form->SetConnected(true);
    Find<QAction>(*form, "Russian1")->trigger();
    auto* connect = Find<QToolButton>(*form, "ConnectBtn");
    EXPECT_EQ(connect->toolTip(), FileMessage(kRussian, 22));
    const QImage disconnectGlyph = LoadGlyph(DataFile(QStringLiteral("Disconnect.bmp"))).toImage();
    EXPECT_EQ(connect->icon()
                  .pixmap(disconnectGlyph.size())
                  .toImage()
                  .convertToFormat(QImage::Format_ARGB32),
              disconnectGlyph.convertToFormat(QImage::Format_ARGB32));
    form->SetConnected(false);
    EXPECT_EQ(connect->toolTip(), FileMessage(kRussian, 21));
    EXPECT_FALSE(prompt->isVisibleTo(form.get()));
}

TEST_F(LanguageTest, SystemIniGoneWhenSavingEndsTheProgram) {
    std::vector<std::string> log;
    Start();
    form->SetExitCleanup([&] { log.push_back("cleanup"); });
    ASSERT_TRUE(QFile::remove(DataFile(QStringLiteral("System.ini"))));
    Find<QAction>(*form, "Turkish1")->trigger();
    EXPECT_EQ(Find<QMenu>(*form, "F1")->title(), FileMessage(kTurkish, 1));  // already switched
    ASSERT_EQ(dialogs.boxes.size(), 1U);
    EXPECT_EQ(dialogs.boxes[0].text, QStringLiteral("Load system parameter fail"));
    EXPECT_EQ(dialogs.boxes[0].caption, QStringLiteral("Error Message"));
    EXPECT_EQ(log, std::vector<std::string>{"cleanup"});  // the window closed
}

class UnwritableSystemIni : public LanguageTest {
  protected:
    void SetUp() override {
        LanguageTest::SetUp();
        Start();
        ASSERT_TRUE(started);
        form->SetExitCleanup([this] { log.push_back("cleanup"); });
        before = ReadDataFile(QStringLiteral("System.ini"));
    }

    // After picking Turkish with System.ini unwritable.
    void ExpectWriteFailureReported() {
        ASSERT_EQ(dialogs.boxes.size(), 1U);
        EXPECT_EQ(dialogs.boxes[0].text,
                  QStringLiteral("Unable to write to ") +
                      QDir::toNativeSeparators(DataFile(QStringLiteral("System.ini"))));
        EXPECT_EQ(dialogs.boxes[0].icon, BoxIcon::Error);
        ExpectTextsOf(kTurkish);                                        // the texts stay switched
        EXPECT_EQ(ReadDataFile(QStringLiteral("System.ini")), before);  // kept whole
        EXPECT_TRUE(log.empty()) << "the program runs on";
    }

    std::vector<std::string> log;
    QByteArray before;
};

TEST_F(UnwritableSystemIni, ReadOnlyFileIsReportedAndTheProgramRunsOn) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root writes read-only files; FailedWrite covers root";
    }
    ASSERT_TRUE(QFile::setPermissions(DataFile(QStringLiteral("System.ini")), QFile::ReadOwner));
    Find<QAction>(*form, "Turkish1")->trigger();
    ExpectWriteFailureReported();
}

TEST_F(UnwritableSystemIni, FailedWriteIsReportedAndTheFileKeptWhole) {
    // A file size limit of zero makes every write fail, whoever runs the test.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit none = saved;
    none.rlim_cur = 0;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &none), 0);
    Find<QAction>(*form, "Turkish1")->trigger();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    ExpectWriteFailureReported();
    // Once the file can be written again, the next pick stores the language.
    dialogs.boxes.clear();
    Find<QAction>(*form, "Turkish1")->trigger();
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_EQ(StoredLanguageMode(), QStringLiteral("4"));
}

}  // namespace
}  // namespace dm::test

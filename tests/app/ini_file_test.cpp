// SPDX-License-Identifier: GPL-3.0-or-later
// Reading INI files and setting one key while keeping every other byte.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "app/ini_file.h"
#include "app/message_catalogue.h"

namespace dm {
namespace {

class IniFileTest : public ::testing::Test {
  protected:
    QString Write(const QByteArray& bytes) {
        QFile file(path_);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        return path_;
    }
    QByteArray Read() {
        QFile file(path_);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }
    QByteArray SetLanguageMode(const QByteArray& original, const char* value = "4") {
        Write(original);
        QString error;
        EXPECT_TRUE(WriteIniValue(path_, QStringLiteral("Image_Envirnment"),
                                  QStringLiteral("LanguageMode"), QString::fromLatin1(value),
                                  &error))
            << error.toStdString();
        return Read();
    }

    QTemporaryDir dir_;
    QString path_ = dir_.filePath(QStringLiteral("System.ini"));
};

TEST_F(IniFileTest, ReadsNamesWithoutRegardToCaseAndTextsAsUtf8) {
    Write(
        "\xEF\xBB\xBF; comment\n[English]\nEng_Title = Digital Microscope \n"
        "[Japanese]\nJPN_Message1=ファイル(&F)\n");
    IniFile ini;
    ASSERT_TRUE(ini.Load(path_));
    EXPECT_EQ(ini.Value(QStringLiteral("english"), QStringLiteral("ENG_TITLE")),
              QStringLiteral("Digital Microscope"));
    EXPECT_EQ(ini.Value(QStringLiteral("Japanese"), QStringLiteral("jpn_message1")),
              QStringLiteral("ファイル(&F)"));
    EXPECT_EQ(ini.Value(QStringLiteral("Japanese"), QStringLiteral("JPN_Message2")), QString());
    EXPECT_EQ(ini.Value(QStringLiteral("Nowhere"), QStringLiteral("Key")), QString());
    EXPECT_FALSE(IniFile().Load(dir_.filePath(QStringLiteral("missing.ini"))));
}

TEST_F(IniFileTest, ReplacesTheValueAndKeepsEverythingElse) {
    const QByteArray original =
        "; keep me\r\n[English]\r\nLanguageMode=9\r\n\r\n[image_envirnment]\r\n"
        "; and me\r\nIcon_File=app.png\r\n  languagemode =  0\r\nSmallLogo=Logo.bmp\r\n";
    QByteArray expected = original;
    expected.replace("  languagemode =  0", "  languagemode =  4");
    EXPECT_EQ(SetLanguageMode(original), expected);
}

TEST_F(IniFileTest, AddsAMissingKeyAtTheEndOfItsSection) {
    EXPECT_EQ(SetLanguageMode("[Image_Envirnment]\nIcon_File=a.png\n\n[English]\nEng_Title=x\n"),
              QByteArray("[Image_Envirnment]\nIcon_File=a.png\nLanguageMode=4\n\n[English]\n"
                         "Eng_Title=x\n"));
    EXPECT_EQ(SetLanguageMode("[Image_Envirnment]\nIcon_File=a.png"),
              QByteArray("[Image_Envirnment]\nIcon_File=a.png\nLanguageMode=4\n"));
}

TEST_F(IniFileTest, AddsAMissingSectionAtTheEnd) {
    EXPECT_EQ(SetLanguageMode("[English]\r\nEng_Title=x\r\n", "5"),
              QByteArray("[English]\r\nEng_Title=x\r\n[Image_Envirnment]\r\nLanguageMode=5\r\n"));
    EXPECT_EQ(SetLanguageMode("", "1"), QByteArray("[Image_Envirnment]\nLanguageMode=1\n"));
}

TEST_F(IniFileTest, CommentedOutKeyIsNotTheKey) {
    EXPECT_EQ(SetLanguageMode("[Image_Envirnment]\n;LanguageMode=2\nLanguageMode=0\n"),
              QByteArray("[Image_Envirnment]\n;LanguageMode=2\nLanguageMode=4\n"));
}

TEST_F(IniFileTest, MissingFileIsAFailure) {
    QString error;
    EXPECT_FALSE(WriteIniValue(dir_.filePath(QStringLiteral("none.ini")), QStringLiteral("S"),
                               QStringLiteral("K"), QStringLiteral("V"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(dir_.filePath(QStringLiteral("none.ini"))));
}

TEST_F(IniFileTest, CatalogueGivesEmptyTextsForMissingKeysAndBadNumbers) {
    Write("[Turkish]\nTR_Title=Dijital Mikroskop\nTR_Message1=&Dosya\nTR_Message30=son\n");
    IniFile ini;
    ASSERT_TRUE(ini.Load(path_));
    MessageCatalogue catalogue;
    catalogue.Load(kTurkish, ini);
    EXPECT_EQ(catalogue.Text(kTurkish, 1), QStringLiteral("&Dosya"));
    EXPECT_EQ(catalogue.Text(kTurkish, 30), QStringLiteral("son"));
    EXPECT_EQ(catalogue.Text(kTurkish, 2), QString());
    EXPECT_EQ(catalogue.Title(kTurkish), QStringLiteral("Dijital Mikroskop"));
    for (int number : {0, kMessageCount + 1, -1}) {
        EXPECT_EQ(catalogue.Text(kTurkish, number), QString()) << number;
    }
    EXPECT_EQ(catalogue.Text(kEnglish, 1), QString());  // not loaded
    EXPECT_EQ(catalogue.Text(kLanguageCount, 1), QString());
}

}  // namespace
}  // namespace dm

// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "commands/catalogue_format.h"

namespace dm {
namespace {

QString Format(const char* text, std::optional<uint32_t> value) {
    return FormatCatalogueMessage(QString::fromUtf8(text), value);
}

TEST(CatalogueFormatTest, IntegerConversionsTakeTheWholeInfoWord) {
    EXPECT_EQ(Format("Delete %d?", 0x0500000C), "Delete 83886092?");
    EXPECT_EQ(Format("Delete %i?", 12), "Delete 12?");
    EXPECT_EQ(Format("[%08X]", 0x0500000C), "[0500000C]");
    EXPECT_EQ(Format("[%#x]", 255), "[0xff]");
    EXPECT_EQ(Format("[%u]", 0xFFFFFFFF), "[4294967295]");
    EXPECT_EQ(Format("[%d]", 0xFFFFFFFF), "[-1]");  // printf reads it as a signed int
    EXPECT_EQ(Format("[%5d|%-5d|%+d|%.3d]", 42), "[   42|%-5d|%+d|%.3d]");
    EXPECT_EQ(Format("[%-5d]", 42), "[42   ]");
    EXPECT_EQ(Format("[%+d] [%.3d] [%ld]", 7), "[+7] [%.3d] [%ld]");
    EXPECT_EQ(Format("[%ld]", 7), "[7]");
}

TEST(CatalogueFormatTest, OnlyTheFirstConversionTakesTheValue) {
    EXPECT_EQ(Format("%d of %d", 3), "3 of %d");
    EXPECT_EQ(Format("%s then %d", 3), "%s then 3");
}

TEST(CatalogueFormatTest, HostileSequencesAreCopiedNotInterpreted) {
    EXPECT_EQ(Format("%s%s%n", 5), "%s%s%n");
    EXPECT_EQ(Format("%s%s%n", std::nullopt), "%s%s%n");
    EXPECT_EQ(Format("[%999999999d]", 5), "[%999999999d]");
    EXPECT_EQ(Format("trailing %", 5), "trailing %");
    EXPECT_EQ(Format("100%% sure", 5), "100% sure");
}

TEST(CatalogueFormatTest, TextsWithoutArgumentKeepTheirConversions) {
    EXPECT_EQ(Format("Delete all pictures?", std::nullopt), "Delete all pictures?");
    EXPECT_EQ(Format("Delete all %d pictures?", std::nullopt), "Delete all %d pictures?");
}

TEST(CatalogueFormatTest, LongTextsAreNeverCut) {
    const QString longText = QString(500, u'x') + QStringLiteral("%d") + QString(20, u'y');
    const QString formatted = FormatCatalogueMessage(longText, 7);
    EXPECT_EQ(formatted, QString(500, u'x') + QStringLiteral("7") + QString(20, u'y'));
}

}  // namespace
}  // namespace dm

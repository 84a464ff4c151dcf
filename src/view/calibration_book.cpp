// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/calibration_book.h"

#include <cmath>
#include <string>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#define SI_NO_CONVERSION   // UTF-8 in, UTF-8 out
#define SI_IMPLEMENTATION  // header-only use; some packagings need it spelled out
#include <SimpleIni.h>

#include "view/picture_files.h"
#include "view/user_folders.h"

namespace dm {

namespace {

const char* const kSectionPrefix = "Zoom_0x";
const char* const kPixelsKey = "PixelsPerMillimetre";
const char* const kDateKey = "Date";
const char* const kDateFormat = "yyyy-MM-dd";
constexpr int kHexBase = 16;
constexpr int kZoomCodeDigits = 2;
const char* const kNotACalibration = "A calibration needs a positive scale and a date";

std::string SectionOf(uint8_t zoomCode) {
    const QString digits = QStringLiteral("%1").arg(static_cast<uint>(zoomCode), kZoomCodeDigits,
                                                    kHexBase, QLatin1Char('0'));
    return kSectionPrefix + digits.toUpper().toStdString();
}

std::optional<uint8_t> ZoomCodeOfSection(const char* section) {
    const QString name = QString::fromUtf8(section);
    const QString prefix = QString::fromLatin1(kSectionPrefix);
    if (!name.startsWith(prefix, Qt::CaseInsensitive) ||
        name.size() != prefix.size() + kZoomCodeDigits) {
        return std::nullopt;
    }
    bool ok = false;
    const uint code = name.mid(prefix.size()).toUInt(&ok, kHexBase);
    return ok ? std::optional<uint8_t>(static_cast<uint8_t>(code)) : std::nullopt;
}

bool Plausible(const Calibration& calibration) {
    return std::isfinite(calibration.pixelsPerMillimetreAt320) &&
           calibration.pixelsPerMillimetreAt320 > 0.0 && calibration.date.isValid();
}

std::optional<Calibration> EntryOf(const CSimpleIniA& ini, const char* section) {
    bool ok = false;
    const double pixels =
        QString::fromUtf8(ini.GetValue(section, kPixelsKey, "")).trimmed().toDouble(&ok);
    const Calibration calibration{
        pixels, QDate::fromString(QString::fromUtf8(ini.GetValue(section, kDateKey, "")).trimmed(),
                                  QString::fromLatin1(kDateFormat))};
    if (!ok || !Plausible(calibration)) {
        return std::nullopt;
    }
    return calibration;
}

// Every readable entry of the file; a file that is missing or no INI file at all is an
// empty book.
std::map<uint8_t, Calibration> ReadBook(const QString& path) {
    std::map<uint8_t, Calibration> entries;
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        return entries;
    }
    const QByteArray text = file.readAll();
    CSimpleIniA ini;
    if (ini.LoadData(text.constData(), static_cast<size_t>(text.size())) < 0) {
        return entries;
    }
    CSimpleIniA::TNamesDepend sections;
    ini.GetAllSections(sections);
    for (const CSimpleIniA::Entry& section : sections) {
        const std::optional<uint8_t> zoomCode = ZoomCodeOfSection(section.pItem);
        if (!zoomCode) {
            continue;
        }
        if (const std::optional<Calibration> calibration = EntryOf(ini, section.pItem)) {
            entries[*zoomCode] = *calibration;
        }
    }
    return entries;
}

}  // namespace

CalibrationBook& CalibrationBook::Shared() {
    static CalibrationBook book;
    return book;
}

void CalibrationBook::Open(const QString& file) {
    std::map<uint8_t, Calibration> entries = ReadBook(file);
    std::lock_guard guard(lock_);
    file_ = file;
    entries_ = std::move(entries);
}

std::optional<Calibration> CalibrationBook::Find(uint8_t zoomCode) const {
    std::lock_guard guard(lock_);
    const auto found = entries_.find(zoomCode);
    if (found == entries_.end()) {
        return std::nullopt;
    }
    return found->second;
}

bool CalibrationBook::Set(uint8_t zoomCode, const Calibration& calibration, QString* why) {
    if (!Plausible(calibration)) {
        if (why != nullptr) {
            *why = QString::fromLatin1(kNotACalibration);
        }
        return false;
    }
    std::lock_guard guard(lock_);
    std::map<uint8_t, Calibration> entries = entries_;
    entries[zoomCode] = calibration;
    if (!WriteLocked(entries, why)) {
        return false;
    }
    entries_ = std::move(entries);
    return true;
}

bool CalibrationBook::Forget(uint8_t zoomCode, QString* why) {
    std::lock_guard guard(lock_);
    std::map<uint8_t, Calibration> entries = entries_;
    if (entries.erase(zoomCode) == 0) {
        return true;
    }
    if (!WriteLocked(entries, why)) {
        return false;
    }
    entries_ = std::move(entries);
    return true;
}

std::map<uint8_t, Calibration> CalibrationBook::All() const {
    std::lock_guard guard(lock_);
    return entries_;
}

bool CalibrationBook::WriteLocked(const std::map<uint8_t, Calibration>& entries,
                                  QString* why) const {
    if (file_.isEmpty()) {
        return true;  // a book in memory only
    }
    // The data folder is made on the first calibration, not before.
    QDir().mkpath(QFileInfo(file_).absolutePath());
    CSimpleIniA ini;
    for (const auto& [zoomCode, calibration] : entries) {
        const std::string section = SectionOf(zoomCode);
        // The shortest text that reads back as the same number.
        const std::string pixels = QString::number(calibration.pixelsPerMillimetreAt320, 'g',
                                                   QLocale::FloatingPointShortest)
                                       .toStdString();
        const std::string date =
            calibration.date.toString(QString::fromLatin1(kDateFormat)).toStdString();
        ini.SetValue(section.c_str(), kPixelsKey, pixels.c_str());
        ini.SetValue(section.c_str(), kDateKey, date.c_str());
    }
    std::string text;
    if (ini.Save(text) < 0) {
        return false;
    }
    return WriteFileWhole(file_, QByteArray::fromStdString(text), why);
}

QString UserCalibrationFile() {
    return QDir(UserDataFolder()).filePath(QString::fromLatin1(kCalibrationFileName));
}

}  // namespace dm

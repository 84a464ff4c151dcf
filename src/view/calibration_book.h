// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The user's own calibrations: for a zoom code, how many pixels a millimetre really covers,
// measured on a stage micrometer or any known length. A calibration replaces the nominal
// scale of its zoom code everywhere a scale is used from then on: the measuring window and
// every file the programs write (picture_scale.h).
//
// Kept as pixels per millimetre of a picture kPanelWidth (320) pixels wide, so one
// calibration serves pictures of every width, with the date it was made. The book lives
// in an INI file of its own in the user's data folder ("Calibration.ini", one section per
// zoom code "Zoom_0x25", keys PixelsPerMillimetre and Date yyyy-MM-dd); it is written
// whole or not at all, and an unreadable file or entry counts as no calibration.
//
// One book per process (Shared()). Any thread: every call takes the book's lock.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>

#include <QDate>
#include <QString>

namespace dm {

struct Calibration {
    double pixelsPerMillimetreAt320 = 0.0;  // > 0
    QDate date;
    bool operator==(const Calibration&) const = default;
};

class CalibrationBook {
  public:
    static CalibrationBook& Shared();

    // Reads the book from `file` and keeps the path for writing; a missing file is an
    // empty book. An empty path: a book that lives in memory only (tests, no data folder).
    void Open(const QString& file);
    std::optional<Calibration> Find(uint8_t zoomCode) const;
    // Records and writes the book; false (with `why` where given) when the file could not
    // be written, in which case the book is as before.
    bool Set(uint8_t zoomCode, const Calibration& calibration, QString* why = nullptr);
    bool Forget(uint8_t zoomCode, QString* why = nullptr);
    std::map<uint8_t, Calibration> All() const;

  private:
    bool WriteLocked(const std::map<uint8_t, Calibration>& entries, QString* why) const;

    mutable std::mutex lock_;
    QString file_;
    std::map<uint8_t, Calibration> entries_;
};

inline constexpr char kCalibrationFileName[] = "Calibration.ini";
// Where both programs keep the shared book: "<user data folder>/Calibration.ini"
// (user_folders.h), beside the user's own System.ini.
QString UserCalibrationFile();

}  // namespace dm

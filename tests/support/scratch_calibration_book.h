// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The shared calibration book kept in a scratch file for the life of this object and
// emptied after it, so that a test never reads or writes the user's own calibrations and
// leaves nominal scales to the tests after it.

#include <QString>
#include <QTemporaryDir>

namespace dm::test {

class ScratchCalibrationBook {
  public:
    ScratchCalibrationBook();
    ~ScratchCalibrationBook();
    ScratchCalibrationBook(const ScratchCalibrationBook&) = delete;
    ScratchCalibrationBook& operator=(const ScratchCalibrationBook&) = delete;

    QString Path() const;

  private:
    QTemporaryDir dir_;
};

}  // namespace dm::test

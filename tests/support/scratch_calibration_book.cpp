// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/scratch_calibration_book.h"

#include <QDir>

#include "view/calibration_book.h"

namespace dm::test {

ScratchCalibrationBook::ScratchCalibrationBook() {
    CalibrationBook::Shared().Open(Path());
}

ScratchCalibrationBook::~ScratchCalibrationBook() {
    CalibrationBook::Shared().Open(QString());
}

QString ScratchCalibrationBook::Path() const {
    return QDir(dir_.path()).filePath(QString::fromLatin1(kCalibrationFileName));
}

}  // namespace dm::test

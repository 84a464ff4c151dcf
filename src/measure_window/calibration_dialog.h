// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Asks the known length of the line just drawn for a calibration: a field for the length
// ("1 mm", "250 µm" or a bare number) and the unit a bare number is in. Reading and
// checking the answer is the caller's (known_length.h). Window thread only.

#include <functional>

#include <QDialog>

#include "measure_window/known_length.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace dm {

class CalibrationDialog : public QDialog {
    Q_OBJECT

  public:
    // `text` gives the catalogue's message of a number in the current language.
    CalibrationDialog(const std::function<QString(int)>& text, double linePixels, QWidget* parent);

    QString LengthText() const;
    KnownLengthUnit Unit() const;

  private:
    QLineEdit* length_;
    QComboBox* unit_;
};

}  // namespace dm

// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure_window/calibration_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "base/message_numbers.h"

namespace dm {

namespace {
constexpr int kPixelDecimals = 1;
}

CalibrationDialog::CalibrationDialog(const std::function<QString(int)>& text, double linePixels,
                                     QWidget* parent)
    : QDialog(parent), length_(new QLineEdit(this)), unit_(new QComboBox(this)) {
    setWindowTitle(text(message::kToolCalibrate));
    auto* layout = new QVBoxLayout(this);
    auto* line =
        new QLabel(text(message::kCalibrationLine).arg(linePixels, 0, 'f', kPixelDecimals), this);
    line->setObjectName(QStringLiteral("CalibrationLine"));
    auto* prompt = new QLabel(text(message::kCalibrationPrompt), this);
    prompt->setWordWrap(true);
    layout->addWidget(line);
    layout->addWidget(prompt);

    length_->setObjectName(QStringLiteral("KnownLength"));
    unit_->setObjectName(QStringLiteral("KnownLengthUnit"));
    unit_->addItem(QStringLiteral("\u00B5m"), static_cast<int>(KnownLengthUnit::kMicrometre));
    unit_->addItem(QStringLiteral("mm"), static_cast<int>(KnownLengthUnit::kMillimetre));
    unit_->setCurrentIndex(1);
    auto* row = new QHBoxLayout;
    row->addWidget(length_, 1);
    row->addWidget(unit_);
    layout->addLayout(row);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    length_->setFocus();
}

QString CalibrationDialog::LengthText() const {
    return length_->text();
}

KnownLengthUnit CalibrationDialog::Unit() const {
    return static_cast<KnownLengthUnit>(unit_->currentData().toInt());
}

}  // namespace dm

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The measurements of the picture in the measuring window, in table order (a
// measurement's number is its index plus one). Changed by the undo commands only, so that
// every change can be undone. Window thread only.

#include <vector>

#include <QObject>

#include "measure/measurement.h"

namespace dm {

class MeasurementList : public QObject {
    Q_OBJECT

  public:
    using QObject::QObject;

    const std::vector<measure::Measurement>& All() const { return measurements_; }
    int Size() const { return static_cast<int>(measurements_.size()); }
    const measure::Measurement& At(int index) const;

    void Insert(int index, const measure::Measurement& measurement);
    void Replace(int index, const measure::Measurement& measurement);
    void Remove(int index);
    void SetAll(const std::vector<measure::Measurement>& measurements);

  signals:
    void Changed();

  private:
    std::vector<measure::Measurement> measurements_;
};

}  // namespace dm

// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure_window/measurement_list.h"

namespace dm {

const measure::Measurement& MeasurementList::At(int index) const {
    return measurements_.at(static_cast<std::size_t>(index));
}

void MeasurementList::Insert(int index, const measure::Measurement& measurement) {
    measurements_.insert(measurements_.begin() + index, measurement);
    emit Changed();
}

void MeasurementList::Replace(int index, const measure::Measurement& measurement) {
    measurements_.at(static_cast<std::size_t>(index)) = measurement;
    emit Changed();
}

void MeasurementList::Remove(int index) {
    measurements_.erase(measurements_.begin() + index);
    emit Changed();
}

void MeasurementList::SetAll(const std::vector<measure::Measurement>& measurements) {
    measurements_ = measurements;
    emit Changed();
}

}  // namespace dm

// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure_window/measurement_commands.h"

#include "measure_window/measurement_list.h"

namespace dm {

namespace {
constexpr int kNudgeCommandId = 1;
}

AddMeasurementCommand::AddMeasurementCommand(MeasurementList& list,
                                             const measure::Measurement& measurement)
    : list_(list), measurement_(measurement), index_(list.Size()) {}

void AddMeasurementCommand::redo() {
    list_.Insert(index_, measurement_);
}

void AddMeasurementCommand::undo() {
    list_.Remove(index_);
}

ChangeMeasurementCommand::ChangeMeasurementCommand(MeasurementList& list, int index,
                                                   const measure::Measurement& before,
                                                   const measure::Measurement& after, bool nudge)
    : list_(list), index_(index), before_(before), after_(after), nudge_(nudge) {}

void ChangeMeasurementCommand::redo() {
    list_.Replace(index_, after_);
}

void ChangeMeasurementCommand::undo() {
    list_.Replace(index_, before_);
}

int ChangeMeasurementCommand::id() const {
    return nudge_ ? kNudgeCommandId : -1;
}

bool ChangeMeasurementCommand::mergeWith(const QUndoCommand* other) {
    const auto* next = dynamic_cast<const ChangeMeasurementCommand*>(other);
    if (next == nullptr || !next->nudge_ || next->index_ != index_) {
        return false;
    }
    after_ = next->after_;
    return true;
}

RemoveMeasurementCommand::RemoveMeasurementCommand(MeasurementList& list, int index)
    : list_(list), index_(index), removed_(list.At(index)) {}

void RemoveMeasurementCommand::redo() {
    list_.Remove(index_);
}

void RemoveMeasurementCommand::undo() {
    list_.Insert(index_, removed_);
}

ClearMeasurementsCommand::ClearMeasurementsCommand(MeasurementList& list)
    : list_(list), removed_(list.All()) {}

void ClearMeasurementsCommand::redo() {
    list_.SetAll({});
}

void ClearMeasurementsCommand::undo() {
    list_.SetAll(removed_);
}

SwitchCommand::SwitchCommand(std::function<void(bool)> apply, bool alreadyDone)
    : apply_(std::move(apply)), skipRedo_(alreadyDone) {}

void SwitchCommand::redo() {
    if (skipRedo_) {
        skipRedo_ = false;
        return;
    }
    apply_(true);
}

void SwitchCommand::undo() {
    apply_(false);
}

}  // namespace dm

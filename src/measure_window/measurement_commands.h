// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The undoable changes of the measuring window, for its QUndoStack: adding, changing
// (moving points, nudging, another count mark), deleting and clearing measurements, and
// a change outside the list (a calibration). Each command keeps what it needs to go both
// ways; the list outlives the stack. Window thread only.

#include <functional>
#include <vector>

#include <QUndoCommand>

#include "measure/measurement.h"

namespace dm {

class MeasurementList;

class AddMeasurementCommand : public QUndoCommand {
  public:
    AddMeasurementCommand(MeasurementList& list, const measure::Measurement& measurement);
    void redo() override;
    void undo() override;

  private:
    MeasurementList& list_;
    measure::Measurement measurement_;
    int index_;
};

class ChangeMeasurementCommand : public QUndoCommand {
  public:
    // A nudge merges with the nudges of the same measurement straight before it, so one
    // undo takes back a run of arrow key presses.
    ChangeMeasurementCommand(MeasurementList& list, int index, const measure::Measurement& before,
                             const measure::Measurement& after, bool nudge);
    void redo() override;
    void undo() override;
    int id() const override;
    bool mergeWith(const QUndoCommand* other) override;

  private:
    MeasurementList& list_;
    int index_;
    measure::Measurement before_;
    measure::Measurement after_;
    bool nudge_;
};

class RemoveMeasurementCommand : public QUndoCommand {
  public:
    RemoveMeasurementCommand(MeasurementList& list, int index);
    void redo() override;
    void undo() override;

  private:
    MeasurementList& list_;
    int index_;
    measure::Measurement removed_;
};

class ClearMeasurementsCommand : public QUndoCommand {
  public:
    explicit ClearMeasurementsCommand(MeasurementList& list);
    void redo() override;
    void undo() override;

  private:
    MeasurementList& list_;
    std::vector<measure::Measurement> removed_;
};

// A change the window makes elsewhere: `apply(true)` makes it, `apply(false)` takes it
// back. With `alreadyDone`, the first redo (QUndoStack::push) does nothing: the change
// was made, and could fail, before the command was pushed.
class SwitchCommand : public QUndoCommand {
  public:
    SwitchCommand(std::function<void(bool)> apply, bool alreadyDone);
    void redo() override;
    void undo() override;

  private:
    std::function<void(bool)> apply_;
    bool skipRedo_;
};

}  // namespace dm

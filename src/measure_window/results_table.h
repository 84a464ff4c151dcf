// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The rows of the results table beside the picture: number, tool, the main value and its
// unit, and the other values in words ("radius 0.617 mm; area 1.196 mm²"). The same rows
// fill the table and go to the clipboard, tab separated so they paste into a
// spreadsheet. Window thread only.

#include <functional>
#include <vector>

#include <QString>

#include "measure/measurement.h"
#include "measure/units.h"
#include "view/picture_scale.h"

class QTableWidget;

namespace dm {

struct ResultRow {
    QString number;
    QString tool;
    QString value;
    QString unit;
    QString more;
};

enum ResultColumn {
    kNumberColumn,
    kToolColumn,
    kValueColumn,
    kUnitColumn,
    kMoreColumn,
    kResultColumns
};

// `text` gives the catalogue's message of a number in the current language.
using TextOf = std::function<QString(int)>;

QString ToolName(measure::Tool tool, const TextOf& text);
std::vector<ResultRow> ResultRows(const std::vector<measure::Measurement>& measurements,
                                  const PictureScale& scale, const measure::UnitChoice& units,
                                  const TextOf& text);
QStringList ResultHeader(const TextOf& text);
void FillResultsTable(QTableWidget& table, const QStringList& header,
                      const std::vector<ResultRow>& rows);
// The header and every row, cells joined by tabs, lines ended by a line feed.
QString RowsAsTabText(const QStringList& header, const std::vector<ResultRow>& rows);

}  // namespace dm

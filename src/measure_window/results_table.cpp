// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure_window/results_table.h"

#include <QHeaderView>
#include <QStringList>
#include <QTableWidget>

#include "base/message_numbers.h"

namespace dm {

namespace {

using measure::Quantity;
using measure::Tool;

// The names of a circle's values after its diameter, in Evaluate's order.
constexpr int kCircleMore[] = {message::kRadius, message::kArea, message::kCentre};

QString Shown(const measure::Value& value, const PictureScale& scale,
              const measure::UnitChoice& units) {
    const measure::ShownValue shown = measure::Show(value, scale, units);
    return shown.unit.isEmpty() ? shown.number : shown.number + u' ' + shown.unit;
}

// The values after the first, named: "perimeter 4.000 mm", "centre 12.5, 80.0 px".
QString MoreOf(const measure::Measurement& measurement, const measure::Values& values,
               const PictureScale& scale, const measure::UnitChoice& units, const TextOf& text) {
    QStringList parts;
    const auto& all = values.values;
    if (measurement.tool == Tool::kCircle && all.size() == 5) {
        parts << text(kCircleMore[0]) + u' ' + Shown(all[1], scale, units);
        parts << text(kCircleMore[1]) + u' ' + Shown(all[2], scale, units);
        const measure::ShownValue x = measure::Show(all[3], scale, units);
        const measure::ShownValue y = measure::Show(all[4], scale, units);
        parts << text(kCircleMore[2]) + u' ' + x.number + QStringLiteral(", ") + y.number + u' ' +
                     y.unit;
    } else if ((measurement.tool == Tool::kRectangle || measurement.tool == Tool::kPolygon) &&
               all.size() == 2) {
        parts << text(message::kPerimeter) + u' ' + Shown(all[1], scale, units);
    } else if (measurement.tool == Tool::kCircle && all.empty()) {
        parts << text(message::kCollinearCircle);
    }
    if (values.problem == measure::Problem::kCrossesItself) {
        parts << text(message::kCrossesItself);
    } else if (values.problem == measure::Problem::kNoAngle) {
        parts << text(message::kNoAngle);
    }
    return parts.join(QStringLiteral("; "));
}

}  // namespace

QString ToolName(Tool tool, const TextOf& text) {
    switch (tool) {
        case Tool::kLine:
            return text(message::kToolLine);
        case Tool::kPolyline:
            return text(message::kToolPolyline);
        case Tool::kAngle:
            return text(message::kToolAngle);
        case Tool::kCircle:
            return text(message::kToolCircle);
        case Tool::kRectangle:
            return text(message::kToolRectangle);
        case Tool::kPolygon:
            return text(message::kToolPolygon);
        case Tool::kCount:
            return text(message::kToolCount);
        case Tool::kCalibrate:
            return text(message::kToolCalibrate);
    }
    return {};
}

std::vector<ResultRow> ResultRows(const std::vector<measure::Measurement>& measurements,
                                  const PictureScale& scale, const measure::UnitChoice& units,
                                  const TextOf& text) {
    std::vector<ResultRow> rows;
    rows.reserve(measurements.size());
    for (std::size_t i = 0; i < measurements.size(); ++i) {
        const measure::Measurement& measurement = measurements[i];
        const measure::Values values = measure::Evaluate(measurement, scale);
        ResultRow row;
        row.number = QString::number(i + 1);
        row.tool = ToolName(measurement.tool, text);
        if (measurement.tool == Tool::kCount) {
            row.tool += QStringLiteral(" (%1 %2)")
                            .arg(text(message::kGroupLabel))
                            .arg(measurement.group + 1);
        }
        if (!values.values.empty()) {
            const measure::ShownValue first = measure::Show(values.values.front(), scale, units);
            row.value = first.number;
            row.unit = first.unit;
        }
        row.more = MoreOf(measurement, values, scale, units, text);
        rows.push_back(row);
    }
    return rows;
}

QStringList ResultHeader(const TextOf& text) {
    return {text(message::kNumberColumn), text(message::kToolColumn), text(message::kValueColumn),
            text(message::kUnitLabel), text(message::kMoreColumn)};
}

void FillResultsTable(QTableWidget& table, const QStringList& header,
                      const std::vector<ResultRow>& rows) {
    table.setColumnCount(kResultColumns);
    table.setHorizontalHeaderLabels(header);
    table.setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const ResultRow& row = rows[static_cast<std::size_t>(r)];
        const QString cells[kResultColumns] = {row.number, row.tool, row.value, row.unit, row.more};
        for (int c = 0; c < kResultColumns; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
            if (c == kNumberColumn || c == kValueColumn) {
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            }
            table.setItem(r, c, item);
        }
    }
    table.resizeColumnsToContents();
}

QString RowsAsTabText(const QStringList& header, const std::vector<ResultRow>& rows) {
    QString text = header.join(u'\t') + u'\n';
    for (const ResultRow& row : rows) {
        text +=
            QStringList{row.number, row.tool, row.value, row.unit, row.more}.join(u'\t') + u'\n';
    }
    return text;
}

}  // namespace dm

#pragma once

// What the window saves and copies of a Run's results: its charts as PNG, SVG or PDF,
// the results table as CSV or TSV, and values as text for the clipboard. The dialog that
// asks where to save is given, so that a script or a test can answer it.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

class QAbstractItemModel;
class QChartView;
class QTableView;

// Asks where to save (caption, filters, suggested path); nothing when cancelled.
using SaveFileChooser = std::function<std::optional<QString>(
    const QString& caption, const QString& filters, const QString& suggested)>;

// The result name's stem, for the names suggested when saving: "results" for
// "results.txt".
QString ResultStem(const QString& resultName);

// The values under a row of titles, one line per value numbered from 1: fields separated
// by TAB, lines ended by LF, numbers in their shortest exact form with `separator`.
QString ValuesTsv(const QStringList& header, const std::vector<double>& values, char separator);

// Asks for a file, suggesting prefix + stem + ".png" in `folder`, and saves the chart in
// the format its extension names (PNG when it names none, ".png" then added). Returns
// the error, naming the file, or an empty text (also when cancelled).
QString SaveChartAs(QChartView& view, const QString& prefix, const QString& folder,
                    const QString& resultName, const SaveFileChooser& choose);

// Asks for a file, suggesting "Table_" + stem + ".csv" in `folder`, and writes the table
// as CSV for a spreadsheet (a UTF-8 byte-order mark first, so that it reads "\u2264"
// right; the table's decimal separator), or as TSV for a ".tsv" or ".txt" name (with a
// point, as the Run's own tables). ".csv" is added to a name without extension. Returns
// the error, naming the file, or an empty text.
QString ExportTableAs(const QAbstractItemModel& model, const QString& folder,
                      const QString& resultName, const SaveFileChooser& choose);

// The selected rows of the table, in the model's order, after the titles, numbers with the
// table's decimal separator; every row when none is selected.
QString SelectedRowsTsv(const QTableView& table);

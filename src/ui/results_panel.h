#pragma once

// The panel right of the chart that shows the last Run's results: what they are of, the
// table of finished tests with its buttons, and the histogram of the overall test's
// randomized Fis.

#include <QString>
#include <vector>

#include "analysis/test_outcome.h"

class QChartView;
class QLabel;
class QPushButton;
class QStandardItemModel;
class QTableView;
class QWidget;

struct ResultsPanel {
  QWidget* panel = nullptr;     // ResultsPanel
  QLabel* caption = nullptr;    // ResultsCaption: what the results are of
  QTableView* table = nullptr;  // ResultsTable: one row per finished test
  QStandardItemModel* model = nullptr;
  QPushButton* copyTable = nullptr;    // CopyTableButton
  QPushButton* exportTable = nullptr;  // ExportTableButton
  QChartView* histogram = nullptr;     // HistogramView: the overall test's randomized Fis
  QPushButton* figure = nullptr;       // FigureButton: saves or copies the histogram

  // The overall test's randomized Fis and observed value, for the histogram.
  bool hasOverall = false;
  std::vector<double> overallRandomized;
  double overallObserved = 0;
  double overallPLower = 1;
  double overallPUpper = 1;
};

// The panel, hidden, as a child of `parent`; its model belongs to `parent` too.
ResultsPanel NewResultsPanel(QWidget* parent);

// Empties the table, the histogram and the caption.
void ClearResults(ResultsPanel& results);

// A finished test without its randomized values, which only the overall test keeps.
genosieve::TestOutcome WithoutValues(const genosieve::TestOutcome& outcome);

// A finished test's row; for the overall test, `randomized` are the histogram's values.
void AddResult(ResultsPanel& results, const genosieve::TestOutcome& row,
               std::vector<double> randomized);

// Shows what the results are of, fits the columns and draws the histogram.
void ShowResultsOf(ResultsPanel& results, const QString& caption);

// Draws the overall test's randomized Fis with its observed value, or an empty chart when
// the overall test did not finish.
void DrawHistogram(ResultsPanel& results);

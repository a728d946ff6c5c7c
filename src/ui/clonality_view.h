#pragma once

// Are the repeats clones? The results panel's view of the clonality table (one row per
// population, then all of them) and, for the row chosen, the psex of each repeated
// genotype with its verdict coloured, and the Pareto plot of the clone sizes. The cells
// hold the texts of the Clonality_ and Psex_ files, with the Run's decimal separator.

#include <QColor>
#include <QString>
#include <string>

#include "analysis/clonality.h"

class QChartView;
class QLabel;
class QStandardItemModel;
class QTableView;
class QWidget;

struct ClonalityView {
  QWidget* page = nullptr;      // ClonalityPage
  QTableView* table = nullptr;  // ClonalityTable: one row per population, then "all"
  QStandardItemModel* model = nullptr;
  QLabel* psexCaption = nullptr;  // PsexCaption: whose repeated genotypes are listed
  QTableView* psex = nullptr;     // PsexTable
  QStandardItemModel* psexModel = nullptr;
  QChartView* sizes = nullptr;  // CloneSizesView: the Pareto plot of the row chosen
  genosieve::ClonalityResults results;
  bool found = false;  // whether the Run told the view its clonality
  char separator = '.';
};

// The view, as a page for the results panel's tabs.
ClonalityView NewClonalityView(QWidget* parent);

// Shows the Run's clonality; the first row is chosen. The view must stay where it is
// while it shows them: choosing a row refers to it.
void ShowClonality(ClonalityView& view, genosieve::ClonalityResults results, char separator);

// Lists the repeated genotypes of table row `row` (0-based; the last row, all
// populations, lists every population's) and plots its clone sizes.
void ShowClonalityRow(ClonalityView& view, int row);

void ClearClonality(ClonalityView& view);

// A cell of the files' text with every digit, as the cell's tooltip holds it: a number
// with the Run's separator; a text (`number` false) as it is.
QString ClonalityCellText(const std::string& cell, bool number, char separator);

// A number cell of the files as the table shows it: whole numbers as they are, others to
// four significant digits ("0.4324", "6.787e-06"), the exponent kept as the file writes
// it, even beyond the range of a double ("1.7e-589"); with the Run's separator.
QString ReadableCellText(const std::string& cell, char separator);

// A table of the tab as text, for Ctrl+C on it: its header row, then every row it
// shows, fields separated by TABs, every digit with the Run's separator.
QString ClonalityModelTsv(const QStandardItemModel& model);

// The background of a verdict's cell: green for one genet, orange for possibly distinct
// genets, none (invalid) when psex is undefined.
QColor VerdictColour(genosieve::PsexVerdict verdict);

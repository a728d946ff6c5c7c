#pragma once

// The results table of the window: one row per finished test, the columns of the Run's
// summary table and a mark for the P-values that stay significant after Holm's
// correction. Numbers are shown rounded, with the Run's decimal separator, and copied
// or exported with every digit; sorting uses the numbers, not their texts.

#include <QString>
#include <QStringList>

#include "analysis/test_outcome.h"

class QAbstractItemModel;
class QStandardItemModel;
class QObject;

// The table's column titles, in order.
QStringList ResultColumnTitles();

// The column of the Holm mark, after the summary's columns.
inline constexpr int kHolmColumn = 9;

// A model with the columns and no row; rows come from AppendResultRow. Its numbers are
// shown with `separator`.
QStandardItemModel* NewResultsModel(QObject* parent, char separator = '.');

// The decimal separator the model shows its numbers with.
char ResultsSeparator(const QAbstractItemModel& model);
void SetResultsSeparator(QStandardItemModel& model, char separator);

// Adds the finished test as the model's last row.
void AppendResultRow(QStandardItemModel& model, const genosieve::TestOutcome& outcome);

// Marks, in each family of single tests (the loci, the populations), the rows whose
// lower-tail P-value Holm's procedure rejects at 5 %, as the command line counts them:
// "yes" or "no" in the Holm column, the P-value drawn in bold. The overall test is no
// family's and keeps an empty mark.
void MarkHolm(QStandardItemModel& model);

// The shortest text that reads back as the same double, with a point.
QString ShortestNumber(double value);

// The rows of the model, in the order it shows them, after a row of titles: fields
// separated by TAB, lines ended by LF, numbers with every digit and `separator`. `rows`
// limits the rows to those listed (model row numbers); all when empty.
QString ResultsTsv(const QAbstractItemModel& model, char separator, const QList<int>& rows = {});

// The same as comma-separated values for a spreadsheet: texts in double quotes (a quote
// doubled), numbers as they are, lines ended by CR LF; fields separated by ',' or, when
// the decimal separator is a comma, by ';' as spreadsheets with that separator expect.
QString ResultsCsv(const QAbstractItemModel& model, char separator);

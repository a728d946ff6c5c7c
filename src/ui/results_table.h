#pragma once

// The results table of the window: one row per finished test, the columns of the Run's
// summary table, numbers in their shortest exact form so that the table reads as the
// summary file does. Sorting uses the numbers, not their texts.

#include <QString>
#include <QStringList>

#include "analysis/test_outcome.h"

class QAbstractItemModel;
class QStandardItemModel;
class QObject;

// The table's column titles, in order.
QStringList ResultColumnTitles();

// A model with the columns and no row; rows come from AppendResultRow.
QStandardItemModel* NewResultsModel(QObject* parent);

// Adds the finished test as the model's last row.
void AppendResultRow(QStandardItemModel& model, const genosieve::TestOutcome& outcome);

// The shortest text that reads back as the same double, with a point.
QString ShortestNumber(double value);

// The rows of the model, in the order it shows them, after a row of titles: fields
// separated by TAB, lines ended by LF. `rows` limits the rows to those listed (model row
// numbers); all when empty.
QString ResultsTsv(const QAbstractItemModel& model, const QList<int>& rows = {});

// The same as comma-separated values: texts in double quotes (a quote doubled), numbers
// as they are, lines ended by CR LF as spreadsheets expect.
QString ResultsCsv(const QAbstractItemModel& model);

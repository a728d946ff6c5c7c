#include "results_table.h"

#include <csv.h>

#include <QStandardItemModel>
#include <cmath>
#include <string>

#include "reports/double_text.h"

namespace {

using genosieve::RandomizationKind;

// The numeric columns keep their value for sorting under this role.
constexpr int kSortRole = Qt::UserRole + 1;

enum Column {
  kTest,
  kIndex,
  kName,
  kIndividuals,
  kDistinct,
  kObserved,
  kExpected,
  kPLower,
  kPUpper,
  kColumns
};

QString KindWord(RandomizationKind kind) {
  switch (kind) {
    case RandomizationKind::kOverall:
      return QStringLiteral("overall");
    case RandomizationKind::kPerLocus:
      return QStringLiteral("locus");
    case RandomizationKind::kPerPopulation:
      return QStringLiteral("population");
  }
  return {};
}

QStandardItem* TextItem(const QString& text, double sortValue) {
  auto* item = new QStandardItem(text);
  item->setData(sortValue, kSortRole);
  item->setEditable(false);
  return item;
}

QStandardItem* NumberItem(double value) {
  QStandardItem* item = TextItem(ShortestNumber(value), value);
  item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return item;
}

bool IsTextColumn(int column) { return column == kTest || column == kName; }

QString CsvQuoted(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  // At worst every character is a quote, doubled, and the field is enclosed.
  std::string out(static_cast<size_t>(bytes.size()) * 2 + 2, '\0');
  const size_t length =
      csv_write(out.data(), out.size(), bytes.constData(), static_cast<size_t>(bytes.size()));
  out.resize(length);
  return QString::fromUtf8(out.data(), static_cast<qsizetype>(out.size()));
}

QStringList RowTexts(const QAbstractItemModel& model, int row) {
  QStringList fields;
  for (int column = 0; column < model.columnCount(); ++column) {
    fields.append(model.index(row, column).data(Qt::DisplayRole).toString());
  }
  return fields;
}

}  // namespace

QStringList ResultColumnTitles() {
  return {QStringLiteral("Test"),
          QStringLiteral("Index"),
          QStringLiteral("Name"),
          QStringLiteral("Individuals"),
          QStringLiteral("Distinct genotypes"),
          QStringLiteral("Observed Fis"),
          QStringLiteral("Expected Fis"),
          QStringLiteral("P lower (Fis \u2264 observed)"),
          QStringLiteral("P upper (Fis \u2265 observed)")};
}

QStandardItemModel* NewResultsModel(QObject* parent) {
  auto* model = new QStandardItemModel(0, kColumns, parent);
  model->setHorizontalHeaderLabels(ResultColumnTitles());
  model->setSortRole(kSortRole);
  return model;
}

void AppendResultRow(QStandardItemModel& model, const genosieve::TestOutcome& outcome) {
  QList<QStandardItem*> row(kColumns);
  // The test column sorts in the Run's order: overall, loci, populations.
  row[kTest] = TextItem(KindWord(outcome.kind), static_cast<double>(outcome.kind));
  row[kIndex] = NumberItem(outcome.index);
  row[kName] = TextItem(QString::fromStdString(outcome.name), 0);
  row[kName]->setData(QString::fromStdString(outcome.name), kSortRole);
  row[kIndividuals] = NumberItem(outcome.individuals);
  row[kDistinct] = NumberItem(outcome.distinctGenotypes);
  row[kObserved] = NumberItem(static_cast<double>(outcome.observed));
  row[kExpected] = NumberItem(static_cast<double>(outcome.expected));
  row[kPLower] = NumberItem(static_cast<double>(outcome.pLower));
  row[kPUpper] = NumberItem(static_cast<double>(outcome.pUpper));
  model.appendRow(row);
}

QString ShortestNumber(double value) {
  if (std::isnan(value)) return QStringLiteral("nan");
  if (std::isinf(value)) return value > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
  return QString::fromStdString(genosieve::ShortestDoubleText(value));
}

QString ResultsTsv(const QAbstractItemModel& model, const QList<int>& rows) {
  QStringList titles;
  for (int column = 0; column < model.columnCount(); ++column) {
    titles.append(model.headerData(column, Qt::Horizontal).toString());
  }
  QStringList lines = {titles.join(QLatin1Char('\t'))};
  if (rows.isEmpty()) {
    for (int row = 0; row < model.rowCount(); ++row) {
      lines.append(RowTexts(model, row).join(QLatin1Char('\t')));
    }
  } else {
    for (int row : rows) lines.append(RowTexts(model, row).join(QLatin1Char('\t')));
  }
  return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString ResultsCsv(const QAbstractItemModel& model) {
  QString text;
  QStringList titles;
  for (int column = 0; column < model.columnCount(); ++column) {
    titles.append(CsvQuoted(model.headerData(column, Qt::Horizontal).toString()));
  }
  text += titles.join(QLatin1Char(',')) + QStringLiteral("\r\n");
  for (int row = 0; row < model.rowCount(); ++row) {
    QStringList fields = RowTexts(model, row);
    for (int column = 0; column < fields.size(); ++column) {
      if (IsTextColumn(column)) fields[column] = CsvQuoted(fields[column]);
    }
    text += fields.join(QLatin1Char(',')) + QStringLiteral("\r\n");
  }
  return text;
}

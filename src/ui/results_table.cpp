#include "results_table.h"

#include <csv.h>

#include <QFont>
#include <QStandardItemModel>
#include <cmath>
#include <string>
#include <vector>

#include "analysis/interpretation.h"
#include "number_text.h"
#include "reports/double_text.h"

namespace {

using genosieve::RandomizationKind;

// The numeric columns keep their value for sorting under this role.
constexpr int kSortRole = Qt::UserRole + 1;
// Whether an item holds a number (shown rounded, copied whole).
constexpr int kNumberRole = Qt::UserRole + 2;
// The model's decimal separator, kept as a property.
constexpr const char* kSeparatorProperty = "genosieveDecimalSeparator";

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
  kHolm,
  kColumns
};
static_assert(kHolm == kHolmColumn);

QString KindWord(RandomizationKind kind) { return QString::fromLatin1(genosieve::KindName(kind)); }

QStandardItem* TextItem(const QString& text, const QVariant& sortValue) {
  auto* item = new QStandardItem(text);
  item->setData(sortValue, kSortRole);
  item->setEditable(false);
  return item;
}

QStandardItem* CountItem(int32_t value) {
  QStandardItem* item = TextItem(QString::number(value), static_cast<double>(value));
  item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return item;
}

QStandardItem* NumberItem(double value, char separator) {
  QStandardItem* item = TextItem(ReadableNumber(value, separator), value);
  item->setData(true, kNumberRole);
  item->setToolTip(ExactNumber(value, separator));
  item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return item;
}

bool IsTextColumn(int column) { return column == kTest || column == kName || column == kHolm; }

QString CsvQuoted(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  // At worst every character is a quote, doubled, and the field is enclosed.
  std::string out(static_cast<size_t>(bytes.size()) * 2 + 2, '\0');
  const size_t length =
      csv_write(out.data(), out.size(), bytes.constData(), static_cast<size_t>(bytes.size()));
  out.resize(length);
  return QString::fromUtf8(out.data(), static_cast<qsizetype>(out.size()));
}

// A row's fields, numbers with every digit.
QStringList RowTexts(const QAbstractItemModel& model, int row, char separator) {
  QStringList fields;
  for (int column = 0; column < model.columnCount(); ++column) {
    const QModelIndex index = model.index(row, column);
    fields.append(index.data(kNumberRole).toBool()
                      ? ExactNumber(index.data(kSortRole).toDouble(), separator)
                      : index.data(Qt::DisplayRole).toString());
  }
  return fields;
}

QStringList Titles(const QAbstractItemModel& model) {
  QStringList titles;
  for (int column = 0; column < model.columnCount(); ++column) {
    titles.append(model.headerData(column, Qt::Horizontal).toString());
  }
  return titles;
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
          QStringLiteral("P upper (Fis \u2265 observed)"),
          QStringLiteral("Significant after Holm (5 %)")};
}

QStandardItemModel* NewResultsModel(QObject* parent, char separator) {
  auto* model = new QStandardItemModel(0, kColumns, parent);
  model->setHorizontalHeaderLabels(ResultColumnTitles());
  model->setSortRole(kSortRole);
  SetResultsSeparator(*model, separator);
  return model;
}

char ResultsSeparator(const QAbstractItemModel& model) {
  const QVariant separator = model.property(kSeparatorProperty);
  return separator.isValid() ? static_cast<char>(separator.toInt()) : '.';
}

void SetResultsSeparator(QStandardItemModel& model, char separator) {
  model.setProperty(kSeparatorProperty, static_cast<int>(separator));
}

void AppendResultRow(QStandardItemModel& model, const genosieve::TestOutcome& outcome) {
  const char separator = ResultsSeparator(model);
  QList<QStandardItem*> row(kColumns);
  // The test column sorts in the Run's order: overall, loci, populations.
  row[kTest] = TextItem(KindWord(outcome.kind), static_cast<int>(outcome.kind));
  row[kIndex] = CountItem(outcome.index);
  row[kName] = TextItem(QString::fromStdString(outcome.name), QString::fromStdString(outcome.name));
  row[kIndividuals] = CountItem(outcome.individuals);
  row[kDistinct] = CountItem(outcome.distinctGenotypes);
  row[kObserved] = NumberItem(static_cast<double>(outcome.observed), separator);
  row[kExpected] = NumberItem(static_cast<double>(outcome.expected), separator);
  row[kPLower] = NumberItem(static_cast<double>(outcome.pLower), separator);
  row[kPUpper] = NumberItem(static_cast<double>(outcome.pUpper), separator);
  row[kHolm] = TextItem(QString(), QString());
  model.appendRow(row);
}

void MarkHolm(QStandardItemModel& model) {
  for (const QString& family :
       {KindWord(RandomizationKind::kPerLocus), KindWord(RandomizationKind::kPerPopulation)}) {
    std::vector<int> rows;
    std::vector<double> pValues;
    for (int row = 0; row < model.rowCount(); ++row) {
      if (model.item(row, kTest)->text() != family) continue;
      rows.push_back(row);
      pValues.push_back(model.item(row, kPLower)->data(kSortRole).toDouble());
    }
    const std::vector<bool> rejected =
        genosieve::HolmRejected(pValues, genosieve::kSignificanceLevel);
    for (size_t i = 0; i < rows.size(); ++i) {
      const QString mark = rejected[i] ? QStringLiteral("yes") : QStringLiteral("no");
      QStandardItem* holm = model.item(rows[i], kHolm);
      holm->setText(mark);
      holm->setData(mark, kSortRole);
      QStandardItem* pLower = model.item(rows[i], kPLower);
      QFont font = pLower->font();
      font.setBold(rejected[i]);
      pLower->setFont(font);
    }
  }
}

QString ShortestNumber(double value) {
  if (std::isnan(value)) return QStringLiteral("nan");
  if (std::isinf(value)) return value > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
  return QString::fromStdString(genosieve::ShortestDoubleText(value));
}

QString ResultsTsv(const QAbstractItemModel& model, char separator, const QList<int>& rows) {
  QStringList lines = {Titles(model).join(QLatin1Char('\t'))};
  if (rows.isEmpty()) {
    for (int row = 0; row < model.rowCount(); ++row) {
      lines.append(RowTexts(model, row, separator).join(QLatin1Char('\t')));
    }
  } else {
    for (int row : rows) lines.append(RowTexts(model, row, separator).join(QLatin1Char('\t')));
  }
  return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString ResultsCsv(const QAbstractItemModel& model, char separator) {
  const QChar fieldSeparator = separator == ',' ? QLatin1Char(';') : QLatin1Char(',');
  QString text;
  QStringList titles = Titles(model);
  for (QString& title : titles) title = CsvQuoted(title);
  text += titles.join(fieldSeparator) + QStringLiteral("\r\n");
  for (int row = 0; row < model.rowCount(); ++row) {
    QStringList fields = RowTexts(model, row, separator);
    for (int column = 0; column < fields.size(); ++column) {
      if (IsTextColumn(column)) fields[column] = CsvQuoted(fields[column]);
    }
    text += fields.join(fieldSeparator) + QStringLiteral("\r\n");
  }
  return text;
}

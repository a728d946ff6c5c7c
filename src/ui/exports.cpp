#include "exports.h"

#include <QAbstractItemModel>
#include <QChart>
#include <QChartView>
#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QTableView>
#include <algorithm>

#include "chart_export.h"
#include "number_text.h"
#include "results_table.h"

QString ResultStem(const QString& resultName) {
  const QFileInfo info(resultName);
  const QString base = info.fileName();
  const qsizetype dot = base.lastIndexOf(QLatin1Char('.'));
  return dot > 0 ? base.left(dot) : base;
}

QString ValuesTsv(const QStringList& header, const std::vector<double>& values, char separator) {
  QString text = header.join(QLatin1Char('\t')) + QLatin1Char('\n');
  text.reserve(static_cast<qsizetype>(values.size()) * 28);
  for (size_t i = 0; i < values.size(); ++i) {
    text += QString::number(i + 1) + QLatin1Char('\t') + ExactNumber(values[i], separator) +
            QLatin1Char('\n');
  }
  return text;
}

QString SaveChartAs(QChartView& view, const QString& prefix, const QString& folder,
                    const QString& resultName, const SaveFileChooser& choose) {
  const QString suggested =
      QDir(folder).filePath(prefix + ResultStem(resultName) + QStringLiteral(".png"));
  const QString filters =
      QStringList{ChartFormatFilter(ChartFormat::kPng), ChartFormatFilter(ChartFormat::kSvg),
                  ChartFormatFilter(ChartFormat::kPdf)}
          .join(QStringLiteral(";;"));
  const std::optional<QString> chosen =
      choose(QStringLiteral("Save the chart"), filters, suggested);
  if (!chosen) return {};
  QString path = *chosen;
  std::optional<ChartFormat> format = ChartFormatOfName(path);
  if (!format) {
    path += QStringLiteral(".png");
    format = ChartFormat::kPng;
  }
  const QString title = view.chart()->title().isEmpty() ? prefix : view.chart()->title();
  return WriteFileAtomically(path, ChartBytes(view, *format, title));
}

QString ExportTableAs(const QAbstractItemModel& model, const QString& folder,
                      const QString& resultName, const SaveFileChooser& choose) {
  const QString suggested = QDir(folder).filePath(QStringLiteral("Table_") +
                                                  ResultStem(resultName) + QStringLiteral(".csv"));
  const std::optional<QString> chosen =
      choose(QStringLiteral("Export table"),
             QStringLiteral("Comma-separated values (*.csv);;Tab-separated values (*.tsv *.txt)"),
             suggested);
  if (!chosen) return {};
  QString path = *chosen;
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix.isEmpty()) path += QStringLiteral(".csv");
  const bool csv = suffix.isEmpty() || suffix == QLatin1String("csv");
  const QByteArray bytes =
      csv ? QByteArray("\xEF\xBB\xBF") + ResultsCsv(model, ResultsSeparator(model)).toUtf8()
          : ResultsTsv(model, '.').toUtf8();
  return WriteFileAtomically(path, bytes);
}

QString SelectedRowsTsv(const QTableView& table) {
  QList<int> rows;
  for (const QModelIndex& index : table.selectionModel()->selectedRows()) {
    rows.append(index.row());
  }
  std::sort(rows.begin(), rows.end());
  return ResultsTsv(*table.model(), ResultsSeparator(*table.model()), rows);
}

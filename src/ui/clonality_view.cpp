#include "clonality_view.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QLabel>
#include <QShortcut>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>
#include <vector>

#include "clone_view.h"
#include "number_text.h"
#include "panel_chart.h"
#ifdef GENOSIEVE_HAVE_QT_SVG
#include "clone_size_figure.h"
#endif

using genosieve::ClonalityResults;
using genosieve::ClonalityRow;
using genosieve::PsexRow;
using genosieve::PsexVerdict;

namespace {

// A row's repeated genotypes listed at most; the psex file lists them all.
constexpr size_t kListedGenotypes = 10'000;
// The plot of all populations draws each of them up to this many; beyond, one
// population at a time (a legend of hundreds of names hides the plot).
constexpr size_t kPlottedPopulations = 20;

// Each cell's text with every digit, for copies.
constexpr int kExactRole = Qt::UserRole + 3;

// The columns of the files that hold names and words rather than numbers.
constexpr int kNameColumn = 1;
constexpr int kVerdictColumn = 8;

QList<QStandardItem*> RowItems(const std::vector<std::string>& cells, const std::string& name,
                               char separator, int wordColumn) {
  QList<QStandardItem*> items;
  for (int column = 0; column < static_cast<int>(cells.size()); ++column) {
    const bool number = column != kNameColumn && column != wordColumn;
    // The name as it was read: the file quotes some names, the window need not.
    const QString exact = column == kNameColumn
                              ? QString::fromStdString(name)
                              : ClonalityCellText(cells[column], number, separator);
    QStandardItem* item = Item(number ? ReadableCellText(cells[column], separator) : exact);
    item->setData(exact, kExactRole);
    if (number) {
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      // Every digit the file holds, where the table rounds them.
      if (item->text() != exact) item->setToolTip(exact);
    }
    items.append(item);
  }
  return items;
}

QString VerdictTip(PsexVerdict verdict) {
  switch (verdict) {
    case PsexVerdict::kOneGenet:
      return QStringLiteral(
          "psex < 0.05: so many copies are unlikely from separate sexual events; the copies "
          "are taken as one genet.");
    case PsexVerdict::kPossiblyDistinctGenets:
      return QStringLiteral(
          "psex \u2265 0.05: these loci cannot tell the copies from look-alikes of separate "
          "sexual events; more loci would, or treat this clone with care (README: \"Are the "
          "repeats clones?\").");
    case PsexVerdict::kUndefined:
      break;
  }
  return QStringLiteral("psex is undefined for this genotype.");
}

// What the list under the table shows, for population k (0: all).
QString PsexCaption(const ClonalityView& view, const ClonalityRow& row, size_t listed,
                    size_t repeated) {
  int32_t possibly = 0;
  for (const ClonalityRow& population : view.results.rows) {
    if (population.population == 0) continue;
    if (row.population != 0 && population.population != row.population) continue;
    possibly +=
        genosieve::CountPossiblyDistinct(view.results, population.population).possiblyDistinct;
  }
  const QString whose = row.population == 0 ? QStringLiteral("All populations")
                                            : QStringLiteral("Population %1 (%2)")
                                                  .arg(row.population)
                                                  .arg(QString::fromStdString(row.name));
  if (repeated == 0) {
    return QStringLiteral("%1: no repeated genotype, so no psex.").arg(whose);
  }
  QString text =
      listed < repeated
          ? QStringLiteral(
                "%1: psex of the first %2 of %3 repeated genotypes (the Psex file "
                "lists them all)")
                .arg(whose)
                .arg(listed)
                .arg(repeated)
          : QStringLiteral("%1: psex of %2 repeated %3")
                .arg(whose)
                .arg(repeated)
                .arg(repeated == 1 ? QStringLiteral("genotype") : QStringLiteral("genotypes"));
  return text + QStringLiteral("; %1 possibly distinct genets (psex \u2265 0.05).").arg(possibly);
}

void PlotCloneSizes(ClonalityView& view, int32_t population) {
#ifdef GENOSIEVE_HAVE_QT_SVG
  std::vector<genosieve::CloneSizeSeries> shown;
  for (const genosieve::CloneSizeSeries& series : view.results.cloneSizes) {
    if (population == 0 || series.population == population) shown.push_back(series);
  }
  if (shown.size() > kPlottedPopulations) {
    std::unique_ptr<QChart> chart = EmptyChart();
    chart->setTitle(QStringLiteral("Choose a population to plot its clone sizes."));
    FitToPanel(*chart, view.page->font(), view.separator);
    Replace(view.sizes, std::move(chart));
    return;
  }
  std::unique_ptr<QChart> chart = genosieve::CloneSizeChart(shown);
  FitToPanel(*chart, view.page->font(), view.separator);
  // The figure's two-line title, in one line the panel's width holds; one population
  // needs no legend.
  chart->setTitle(QStringLiteral("Clone sizes: ln(genets with \u2265 x ramets) against ln x"));
  if (shown.size() == 1) chart->legend()->hide();
  Replace(view.sizes, std::move(chart));
#else
  static_cast<void>(population);
  view.sizes->hide();
#endif
}

// Ctrl+C on the table copies it whole.
void CopiesItself(QTableView* table, const QStandardItemModel* model) {
  auto* copy = new QShortcut(QKeySequence::Copy, table);
  copy->setContext(Qt::WidgetShortcut);
  QObject::connect(copy, &QShortcut::activated, table,
                   [model] { QApplication::clipboard()->setText(ClonalityModelTsv(*model)); });
}

}  // namespace

QString ClonalityModelTsv(const QStandardItemModel& model) {
  QStringList lines;
  QStringList fields;
  for (int column = 0; column < model.columnCount(); ++column) {
    fields.append(model.headerData(column, Qt::Horizontal).toString());
  }
  lines.append(fields.join(QLatin1Char('\t')));
  for (int row = 0; row < model.rowCount(); ++row) {
    fields.clear();
    for (int column = 0; column < model.columnCount(); ++column) {
      fields.append(model.index(row, column).data(kExactRole).toString());
    }
    lines.append(fields.join(QLatin1Char('\t')));
  }
  return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString ClonalityCellText(const std::string& cell, bool number, char separator) {
  QString text = QString::fromStdString(cell);
  if (number && separator != '.') text.replace(QLatin1Char('.'), QLatin1Char(separator));
  return text;
}

QString ReadableCellText(const std::string& cell, char separator) {
  const QString text = QString::fromStdString(cell);
  if (!text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e'))) return text;
  const qsizetype e = text.indexOf(QLatin1Char('e'));
  bool read = false;
  const double mantissa = text.left(e).toDouble(&read);
  if (!read) return ClonalityCellText(cell, true, separator);
  if (e < 0) return ReadableNumber(mantissa, separator);
  // The mantissa of a number written with its exponent, the exponent as written: "9.9996e-06"
  // keeps its exponent even where rounding the mantissa would make it 10.
  QString rounded = QString::number(mantissa, 'g', 4);
  if (rounded.contains(QLatin1Char('e'))) return ClonalityCellText(cell, true, separator);
  if (separator != '.') rounded.replace(QLatin1Char('.'), QLatin1Char(separator));
  return rounded + text.mid(e);
}

QColor VerdictColour(PsexVerdict verdict) {
  switch (verdict) {
    case PsexVerdict::kOneGenet:
      return QColor(0xc8, 0xe6, 0xc9);
    case PsexVerdict::kPossiblyDistinctGenets:
      return QColor(0xff, 0xcc, 0x80);
    case PsexVerdict::kUndefined:
      break;
  }
  return {};
}

ClonalityView NewClonalityView(QWidget* parent) {
  ClonalityView view;
  view.page = new QWidget(parent);
  view.page->setObjectName(QStringLiteral("ClonalityPage"));
  QStringList header;
  for (const std::string& title : genosieve::ClonalityHeader()) {
    header.append(QString::fromStdString(title));
  }
  view.model = new QStandardItemModel(0, static_cast<int>(header.size()), view.page);
  view.model->setHorizontalHeaderLabels(header);
  view.table = NewTable("ClonalityTable", view.model, view.page);
  header.clear();
  for (const std::string& title : genosieve::PsexHeader()) {
    header.append(QString::fromStdString(title));
  }
  view.psexModel = new QStandardItemModel(0, static_cast<int>(header.size()), view.page);
  view.psexModel->setHorizontalHeaderLabels(header);
  view.psexCaption = new QLabel(view.page);
  view.psexCaption->setObjectName(QStringLiteral("PsexCaption"));
  view.psexCaption->setTextFormat(Qt::PlainText);
  view.psexCaption->setWordWrap(true);
  view.psex = NewTable("PsexTable", view.psexModel, view.page);
  view.sizes = NewChartView("CloneSizesView", view.page);
  CopiesItself(view.table, view.model);
  CopiesItself(view.psex, view.psexModel);
  // The user shares the page's height between the tables and the plot.
  auto* splitter = new QSplitter(Qt::Vertical, view.page);
  splitter->setObjectName(QStringLiteral("ClonalitySplitter"));
  splitter->setChildrenCollapsible(false);
  auto* psexPart = new QWidget(splitter);
  auto* psexLayout = new QVBoxLayout(psexPart);
  psexLayout->setContentsMargins(0, 0, 0, 0);
  psexLayout->addWidget(view.psexCaption);
  psexLayout->addWidget(view.psex, 1);
  splitter->addWidget(view.table);
  splitter->addWidget(psexPart);
  splitter->addWidget(view.sizes);
  // The plot needs the most height to show its axes' numbers: the splitter shares its
  // height in these proportions.
  splitter->setSizes({260, 340, 400});
  view.sizes->setMinimumHeight(140);
  auto* layout = new QVBoxLayout(view.page);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(splitter);
  return view;
}

void ShowClonality(ClonalityView& view, ClonalityResults results, char separator) {
  ClearClonality(view);
  view.results = std::move(results);
  view.found = true;
  view.separator = separator;
  for (const ClonalityRow& row : view.results.rows) {
    view.model->appendRow(
        RowItems(genosieve::ClonalityCells(row), row.name, separator, kNameColumn));
  }
  view.table->resizeColumnsToContents();
  QObject::connect(view.table->selectionModel(), &QItemSelectionModel::currentRowChanged, view.page,
                   [&view](const QModelIndex& current) { ShowClonalityRow(view, current.row()); });
  if (!view.results.rows.empty()) view.table->selectRow(0);
}

void ShowClonalityRow(ClonalityView& view, int row) {
  view.psexModel->removeRows(0, view.psexModel->rowCount());
  if (row < 0 || row >= static_cast<int>(view.results.rows.size())) {
    view.psexCaption->clear();
    Replace(view.sizes, EmptyChart());
    return;
  }
  const ClonalityRow& chosen = view.results.rows[static_cast<size_t>(row)];
  size_t repeated = 0;
  for (const PsexRow& genotype : view.results.psex) {
    if (chosen.population != 0 && genotype.probability.population != chosen.population) continue;
    ++repeated;
    if (repeated > kListedGenotypes) continue;
    QList<QStandardItem*> items =
        RowItems(genosieve::PsexCells(genotype), genotype.name, view.separator, kVerdictColumn);
    QStandardItem* verdict = items[kVerdictColumn];
    if (const QColor colour = VerdictColour(genotype.verdict); colour.isValid()) {
      verdict->setBackground(colour);
      verdict->setForeground(QColor(Qt::black));
    }
    verdict->setToolTip(VerdictTip(genotype.verdict));
    view.psexModel->appendRow(items);
  }
  view.psexCaption->setText(
      PsexCaption(view, chosen, std::min(repeated, kListedGenotypes), repeated));
  view.psex->resizeColumnsToContents();
  PlotCloneSizes(view, chosen.population);
}

void ClearClonality(ClonalityView& view) {
  if (view.table->selectionModel() != nullptr) {
    QObject::disconnect(view.table->selectionModel(), nullptr, view.page, nullptr);
  }
  view.model->removeRows(0, view.model->rowCount());
  view.psexModel->removeRows(0, view.psexModel->rowCount());
  view.psexCaption->clear();
  Replace(view.sizes, EmptyChart());
  view.results = {};
  view.found = false;
}

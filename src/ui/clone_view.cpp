#include "clone_view.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QStandardItemModel>
#include <QStringList>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

using genosieve::GenotypeCarriers;
using genosieve::PopulationClones;

namespace {

// A list's tooltip shows this much of it at most: a clone of thousands of ramets would
// make a tooltip taller than any screen.
constexpr qsizetype kTooltipCharacters = 2000;
// A population's clones listed at most; the clone members file lists them all.
constexpr size_t kListedClones = 10'000;

}  // namespace

QStandardItem* Item(const QString& text) {
  auto* item = new QStandardItem(text);
  item->setEditable(false);
  return item;
}

QStandardItem* Count(int64_t value) {
  QStandardItem* item = Item(QString::number(value));
  item->setData(static_cast<qlonglong>(value), Qt::UserRole + 1);
  item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return item;
}

QTableView* NewTable(const char* name, QStandardItemModel* model, QWidget* parent) {
  auto* table = new QTableView(parent);
  table->setObjectName(QString::fromLatin1(name));
  table->setModel(model);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setSelectionMode(QAbstractItemView::SingleSelection);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setWordWrap(false);
  table->setTextElideMode(Qt::ElideRight);
  table->verticalHeader()->hide();
  table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
  table->horizontalHeader()->setStretchLastSection(true);
  return table;
}

QString MembersText(const GenotypeCarriers& genotype) {
  QStringList members;
  members.reserve(static_cast<qsizetype>(genotype.individuals.size()));
  for (const std::string& individual : genotype.individuals) {
    members.append(QString::fromStdString(individual));
  }
  return members.join(QStringLiteral(", "));
}

CloneView NewCloneView(QWidget* parent) {
  CloneView view;
  view.page = new QWidget(parent);
  view.page->setObjectName(QStringLiteral("ClonesPage"));
  view.populationModel = new QStandardItemModel(0, 5, view.page);
  view.populationModel->setHorizontalHeaderLabels(
      {QStringLiteral("Population"), QStringLiteral("Individuals"),
       QStringLiteral("Distinct genotypes"), QStringLiteral("Clones"),
       QStringLiteral("Clone sizes")});
  view.populationModel->setSortRole(Qt::UserRole + 1);
  view.populations = NewTable("ClonesTable", view.populationModel, view.page);
  view.membersCaption = new QLabel(view.page);
  view.membersCaption->setObjectName(QStringLiteral("CloneMembersCaption"));
  view.membersCaption->setTextFormat(Qt::PlainText);
  view.membersCaption->setWordWrap(true);
  view.memberModel = new QStandardItemModel(0, 3, view.page);
  view.memberModel->setHorizontalHeaderLabels(
      {QStringLiteral("Genotype"), QStringLiteral("Copies"), QStringLiteral("Individuals")});
  view.members = NewTable("CloneMembersTable", view.memberModel, view.page);
  auto* layout = new QVBoxLayout(view.page);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(view.populations, 2);
  layout->addWidget(view.membersCaption);
  layout->addWidget(view.members, 3);
  return view;
}

void ShowClones(CloneView& view, std::vector<PopulationClones> membership) {
  ClearClones(view);
  view.membership = std::move(membership);
  for (const PopulationClones& population : view.membership) {
    QStringList sizes;
    for (int32_t size : genosieve::CloneSizes(population)) sizes.append(QString::number(size));
    QStandardItem* name = Item(QStringLiteral("%1 %2")
                                   .arg(population.population)
                                   .arg(QString::fromStdString(population.name)));
    name->setData(population.population, Qt::UserRole + 1);
    name->setData(population.population - 1, Qt::UserRole + 2);
    QStandardItem* sizesItem = Item(sizes.join(QStringLiteral(", ")));
    sizesItem->setData(static_cast<qlonglong>(sizes.size()), Qt::UserRole + 1);
    view.populationModel->appendRow({name, Count(genosieve::Individuals(population)),
                                     Count(genosieve::DistinctGenotypes(population)),
                                     Count(static_cast<int64_t>(sizes.size())), sizesItem});
  }
  view.populations->resizeColumnsToContents();
  QObject::connect(
      view.populations->selectionModel(), &QItemSelectionModel::currentRowChanged, view.page,
      [&view](const QModelIndex& current) { ShowPopulationClones(view, current.row()); });
  if (!view.membership.empty()) view.populations->selectRow(0);
}

void ShowPopulationClones(CloneView& view, int row) {
  view.memberModel->removeRows(0, view.memberModel->rowCount());
  if (row < 0 || row >= view.populationModel->rowCount()) {
    view.membersCaption->clear();
    return;
  }
  // The table may be sorted: its row says which population it is.
  const auto k =
      static_cast<size_t>(view.populationModel->item(row, 0)->data(Qt::UserRole + 2).toInt());
  const PopulationClones& population = view.membership.at(k);
  const std::vector<int32_t> sizes = genosieve::CloneSizes(population);
  const QString name = QString::fromStdString(population.name);
  QString caption;
  if (sizes.empty()) {
    caption = QStringLiteral(
                  "Population %1 (%2): no clone, every individual has a genotype of "
                  "its own.")
                  .arg(population.population)
                  .arg(name);
  } else if (sizes.size() > kListedClones) {
    caption = QStringLiteral(
                  "Population %1 (%2): the first %3 of its %4 clones and their "
                  "members (the clone members file lists them all)")
                  .arg(population.population)
                  .arg(name)
                  .arg(kListedClones)
                  .arg(sizes.size());
  } else {
    caption = QStringLiteral("Population %1 (%2): its %3 clones and their members")
                  .arg(population.population)
                  .arg(name)
                  .arg(sizes.size());
  }
  view.membersCaption->setText(caption);
  for (size_t g = 0; g < std::min(sizes.size(), kListedClones); ++g) {
    const GenotypeCarriers& genotype = population.genotypes[g];
    QStandardItem* members = Item(MembersText(genotype));
    members->setToolTip(members->text().left(kTooltipCharacters));
    view.memberModel->appendRow({Count(genotype.genotype),
                                 Count(static_cast<int64_t>(genotype.individuals.size())),
                                 members});
  }
  view.members->resizeColumnToContents(0);
  view.members->resizeColumnToContents(1);
}

void ClearClones(CloneView& view) {
  if (view.populations->selectionModel() != nullptr) {
    QObject::disconnect(view.populations->selectionModel(), nullptr, view.page, nullptr);
  }
  view.populationModel->removeRows(0, view.populationModel->rowCount());
  view.memberModel->removeRows(0, view.memberModel->rowCount());
  view.membersCaption->clear();
  view.membership.clear();
}

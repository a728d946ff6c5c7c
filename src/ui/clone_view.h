#pragma once

// The clones in the results panel: one row per population with the clone report's
// numbers (individuals, distinct genotypes, clones and their sizes), and for the
// population chosen, each clone with its members, as the clone members file lists them.

#include <QString>
#include <cstdint>
#include <vector>

#include "data/clone_membership.h"

class QLabel;
class QStandardItem;
class QStandardItemModel;
class QTableView;
class QWidget;

struct CloneView {
  QWidget* page = nullptr;            // ClonesPage
  QTableView* populations = nullptr;  // ClonesTable: one row per population
  QStandardItemModel* populationModel = nullptr;
  QLabel* membersCaption = nullptr;  // which population's clones are listed
  QTableView* members = nullptr;     // CloneMembersTable: its clones and their members
  QStandardItemModel* memberModel = nullptr;
  std::vector<genosieve::PopulationClones> membership;
};

// The view, as a page for the results panel's tabs.
CloneView NewCloneView(QWidget* parent);

// Shows the Run's clones; the first population's are listed. The view must stay where it
// is while it shows them: choosing a population refers to it.
void ShowClones(CloneView& view, std::vector<genosieve::PopulationClones> membership);

// Lists the clones of population row `row` (0-based) with their members.
void ShowPopulationClones(CloneView& view, int row);

void ClearClones(CloneView& view);

// "AB-01, AB-02": the members of a genotype, in data order.
QString MembersText(const genosieve::GenotypeCarriers& genotype);

// The pieces of the clone pages' tables: a cell that cannot be edited, a count (right
// aligned, sorted by value), and a table of whole rows, one chosen at a time.
QStandardItem* Item(const QString& text);
QStandardItem* Count(int64_t value);
QTableView* NewTable(const char* name, QStandardItemModel* model, QWidget* parent);

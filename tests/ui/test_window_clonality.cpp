// The window's Clonality tab: the clonality table and the psex of each repeated genotype
// as the Run's Clonality_ and Psex_ files hold them (with the Run's decimal separator),
// the verdicts coloured, the Pareto plot of the row chosen, and one-population data.

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QCoreApplication>
#include <QLabel>
#include <QLocale>
#include <QSettings>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "clonality_view.h"
#include "support/test_files.h"
#include "support/tsv_table.h"
#include "unit1.h"
#include "window_fixture.h"

namespace fs = std::filesystem;
using genosieve::PsexVerdict;
using genosieve::testing::Control;
using genosieve::testing::ReadBytes;
using genosieve::testing::ReadTsv;
using genosieve::testing::RunWindow;
using genosieve::testing::ScopedWorkingFolder;
using genosieve::testing::TsvTable;

namespace {

char RunSeparator() { return QLocale::system().decimalPoint() == QStringLiteral(",") ? ',' : '.'; }

QStringList TabTitles(TForm1& form) {
  auto* tabs = Control<QTabWidget>(form, "ResultsTabs");
  QStringList titles;
  for (int i = 0; i < tabs->count(); ++i) titles.append(tabs->tabText(i));
  return titles;
}

QStandardItemModel* Model(TForm1& form, const char* table) {
  return qobject_cast<QStandardItemModel*>(Control<QTableView>(form, table)->model());
}

// The model's rows equal the file's lines (header first): numbers (every column but the
// words of `textColumns`) rounded to be read, every digit with the separator in the
// tooltip of those rounded.
void CompareWithFile(QStandardItemModel* model, const TsvTable& file,
                     const std::vector<size_t>& lines, const std::vector<int>& textColumns) {
  QCOMPARE(static_cast<size_t>(model->rowCount()), lines.size());
  for (int column = 0; column < model->columnCount(); ++column) {
    QCOMPARE(model->headerData(column, Qt::Horizontal).toString(),
             QString::fromStdString(file[0].at(static_cast<size_t>(column))));
  }
  for (int row = 0; row < model->rowCount(); ++row) {
    const std::vector<std::string>& fields = file[lines[static_cast<size_t>(row)]];
    QCOMPARE(static_cast<size_t>(model->columnCount()), fields.size());
    for (int column = 0; column < model->columnCount(); ++column) {
      const std::string& field = fields[static_cast<size_t>(column)];
      const QModelIndex cell = model->index(row, column);
      if (std::find(textColumns.begin(), textColumns.end(), column) != textColumns.end()) {
        QCOMPARE(cell.data().toString(), QString::fromStdString(field));
        continue;
      }
      QString exact = QString::fromStdString(field);
      exact.replace(QLatin1Char('.'), QLatin1Char(RunSeparator()));
      QCOMPARE(cell.data().toString(), ReadableCellText(field, RunSeparator()));
      QCOMPARE(cell.data(Qt::ToolTipRole).toString().isEmpty()
                   ? cell.data().toString()
                   : cell.data(Qt::ToolTipRole).toString(),
               exact);
    }
  }
}

}  // namespace

class WindowClonalityTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    genosieve::testing::KeepSettingsIn(QStringLiteral("ui-window-clonality"),
                                       settingsFolder_.path());
  }

  void cellsKeepTheFilesDigitsWithTheRunsSeparator() {
    QCOMPARE(ClonalityCellText("4.70871238406e-13", true, ','),
             QStringLiteral("4,70871238406e-13"));
    QCOMPARE(ClonalityCellText("0.25", true, '.'), QStringLiteral("0.25"));
    QCOMPARE(ClonalityCellText("pop.1", false, ','), QStringLiteral("pop.1"));
    QCOMPARE(ClonalityCellText("", true, ','), QString());
    QCOMPARE(ReadableCellText("0.43243243243243246", ','), QStringLiteral("0,4324"));
    QCOMPARE(ReadableCellText("6.78715988266e-06", '.'), QStringLiteral("6.787e-06"));
    QCOMPARE(ReadableCellText("2.2262000000001e-2400", ','), QStringLiteral("2,226e-2400"));
    QCOMPARE(ReadableCellText("-0.034482758620689655", '.'), QStringLiteral("-0.03448"));
    QCOMPARE(ReadableCellText("0.25", '.'), QStringLiteral("0.25"));
    QCOMPARE(ReadableCellText("38", ','), QStringLiteral("38"));
    QCOMPARE(ReadableCellText("", ','), QString());
    QCOMPARE(ReadableCellText("all", ','), QStringLiteral("all"));
    QVERIFY(VerdictColour(PsexVerdict::kOneGenet).isValid());
    QVERIFY(VerdictColour(PsexVerdict::kPossiblyDistinctGenets).isValid());
    QVERIFY(VerdictColour(PsexVerdict::kOneGenet) !=
            VerdictColour(PsexVerdict::kPossiblyDistinctGenets));
    QVERIFY(!VerdictColour(PsexVerdict::kUndefined).isValid());
  }

  // Each population's row and the row of all, as Clonality_ holds them; for each row
  // chosen, its repeated genotypes as Psex_ holds them, the verdict coloured, and its
  // clone sizes plotted.
  void tabShowsTheTablesAsTheFilesHoldThem() {
    const ScopedWorkingFolder folder;
    RunWindow window("aspen.txt", "10");
    window.form.Button3Click();
    QVERIFY(TabTitles(window.form).contains(QStringLiteral("Clonality")));

    const TsvTable clonality = ReadTsv(ReadBytes("Clonality_results.tsv"));
    std::vector<size_t> all;
    for (size_t line = 1; line < clonality.size(); ++line) all.push_back(line);
    QVERIFY(all.size() >= 3);
    QCOMPARE(clonality.back()[0], std::string("all"));
    CompareWithFile(Model(window.form, "ClonalityTable"), clonality, all, {1});
    if (QTest::currentTestFailed()) return;

    const TsvTable psex = ReadTsv(ReadBytes("Psex_results.tsv"));
    QVERIFY(psex.size() > 1);
    auto* table = Control<QTableView>(window.form, "ClonalityTable");
    QStandardItemModel* psexModel = Model(window.form, "PsexTable");
    int coloured = 0;
    for (size_t row = 0; row + 1 < clonality.size(); ++row) {
      table->selectRow(static_cast<int>(row));
      const std::string& population = clonality[row + 1][0];
      std::vector<size_t> lines;
      for (size_t line = 1; line < psex.size(); ++line) {
        if (population == "all" || psex[line][0] == population) lines.push_back(line);
      }
      CompareWithFile(psexModel, psex, lines, {1, 8});
      if (QTest::currentTestFailed()) return;
      for (int shown = 0; shown < psexModel->rowCount(); ++shown) {
        const std::string& verdict = psex[lines[static_cast<size_t>(shown)]][8];
        const PsexVerdict expected = verdict == "one genet" ? PsexVerdict::kOneGenet
                                     : verdict.empty()      ? PsexVerdict::kUndefined
                                                            : PsexVerdict::kPossiblyDistinctGenets;
        const QVariant background = psexModel->index(shown, 8).data(Qt::BackgroundRole);
        if (expected == PsexVerdict::kUndefined) {
          QVERIFY(!background.isValid());
        } else {
          QCOMPARE(background.value<QBrush>().color(), VerdictColour(expected));
          ++coloured;
        }
        QVERIFY(!psexModel->index(shown, 8).data(Qt::ToolTipRole).toString().isEmpty());
      }
      const QString caption = Control<QLabel>(window.form, "PsexCaption")->text();
      QVERIFY2(population == "all"
                   ? caption.startsWith(QStringLiteral("All populations"))
                   : caption.startsWith(
                         QStringLiteral("Population %1 (").arg(QString::fromStdString(population))),
               qPrintable(caption));
      QVERIFY2(lines.empty()
                   ? caption.contains(QStringLiteral("no repeated genotype"))
                   : caption.contains(QStringLiteral("psex of %1 repeated").arg(lines.size())),
               qPrintable(caption));
      // The plot holds the row's populations, each with its points.
      QChart* chart = Control<QChartView>(window.form, "CloneSizesView")->chart();
      QVERIFY(chart->title().startsWith(QStringLiteral("Clone sizes")));
      QVERIFY(!chart->series().isEmpty());
    }
    QVERIFY(coloured > 0);
  }

  // Ctrl+C on a table copies it whole, every digit with the Run's separator: the
  // clonality table is then the file's text.
  void ctrlCCopiesATableWithEveryDigit() {
    const ScopedWorkingFolder folder;
    RunWindow window("aspen.txt", "10");
    window.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window.form));
    window.form.Button3Click();
    auto* tabs = Control<QTabWidget>(window.form, "ResultsTabs");
    tabs->setCurrentWidget(Control<QWidget>(window.form, "ClonalityPage"));
    auto* table = Control<QTableView>(window.form, "ClonalityTable");
    table->setFocus();
    QApplication::clipboard()->clear();
    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
    QString expected;
    for (const std::vector<std::string>& line : ReadTsv(ReadBytes("Clonality_results.tsv"))) {
      QStringList fields;
      for (const std::string& field : line) fields.append(QString::fromStdString(field));
      for (int column = 0; column < fields.size(); ++column) {
        if (column != 1) fields[column].replace(QLatin1Char('.'), QLatin1Char(RunSeparator()));
      }
      expected += fields.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    QCOMPARE(QApplication::clipboard()->text(), expected);
    // The psex table of the row chosen, with its verdicts.
    table->selectRow(0);
    auto* psex = Control<QTableView>(window.form, "PsexTable");
    psex->setFocus();
    QTest::keyClick(psex, Qt::Key_C, Qt::ControlModifier);
    const QStringList copied = QApplication::clipboard()->text().split(QLatin1Char('\n'));
    QCOMPARE(copied.value(0),
             QStringLiteral("population\tname\tgenotype\tcopies\tpgen\tpgen_fis\tpsex\t"
                            "psex_fis\tverdict"));
    QCOMPARE(copied.size(), Model(window.form, "PsexTable")->rowCount() + 2);
    QVERIFY(copied.value(1).endsWith(QStringLiteral("\tone genet")) ||
            copied.value(1).endsWith(QStringLiteral("\tpossibly distinct genets")));
  }

  // A file of one population: the window says which estimator gave Fis, and its
  // clonality is there with the row of all.
  void onePopulationDataRunWithTheirClonality() {
    const ScopedWorkingFolder folder;
    {
      std::ofstream data("meadow.txt", std::ios::binary);
      for (const char* line :
           {"1 2 210 3 ", "LocA", "LocB", "1\t100102\t200202\t", "1\t100102\t200202\t",
            "1\t100102\t200202\t", "1\t100100\t200204\t", "1\t102104\t202204\t",
            "1\t100104\t200200\t", "1\t102102\t204204\t", "1\t100102\t202204\t",
            "1\t104104\t200202\t", "1\t100102\t200202\t"}) {
        data << line << "\r\n";
      }
    }
    RunWindow window("meadow.txt", "20");
    window.form.Button3Click();
    QCOMPARE(window.boxes.errors, QStringList());
    QVERIFY2(Control<QLabel>(window.form, "StatusLine")
                 ->toolTip()
                 .contains(QStringLiteral("one population")),
             qPrintable(Control<QLabel>(window.form, "StatusLine")->toolTip()));
    QVERIFY(TabTitles(window.form).contains(QStringLiteral("Clonality")));
    const TsvTable clonality = ReadTsv(ReadBytes("Clonality_results.tsv"));
    QCOMPARE(clonality.size(), size_t{3});
    CompareWithFile(Model(window.form, "ClonalityTable"), clonality, {1, 2}, {1});
    // The genotype carried four times is one repeated genotype.
    Control<QTableView>(window.form, "ClonalityTable")->selectRow(0);
    QCOMPARE(Model(window.form, "PsexTable")->rowCount(), 1);
    QCOMPARE(Model(window.form, "PsexTable")->index(0, 3).data().toString(), QStringLiteral("4"));
  }

  // A Run that fails before its tables leaves no clonality of the last Run on view.
  void anotherRunClearsTheTab() {
    const ScopedWorkingFolder folder;
    RunWindow window("aspen.txt", "10");
    window.form.Button3Click();
    QVERIFY(Model(window.form, "ClonalityTable")->rowCount() > 0);
    fs::remove(window.data);
    window.form.Button3Click();
    QCOMPARE(window.boxes.errors.size(), 1);
    QVERIFY(!TabTitles(window.form).contains(QStringLiteral("Clonality")));
    QCOMPARE(Model(window.form, "ClonalityTable")->rowCount(), 0);
    QCOMPARE(Model(window.form, "PsexTable")->rowCount(), 0);
  }

 private:
  QTemporaryDir settingsFolder_;
};

QTEST_MAIN(WindowClonalityTest)
#include "test_window_clonality.moc"

#pragma once

// The tables a Run writes of its finished tests, for spreadsheets and scripts: the
// summary table "Summary_" + stem + ".tsv", one row per test, and on request the
// randomized values "Fisvalues_" + stem + ".tsv", one row per iteration of every test.
// TSV in UTF-8, one header row, lines ended by CR LF as the Run's other files, numbers
// with a point whatever the locale and in their shortest exact form.

#include <cstddef>
#include <string>
#include <vector>

#include "analysis/test_outcome.h"
#include "io/output_file.h"
#include "io/rewrite_schedule.h"
#include "io/working_folder.h"

namespace genosieve {

// A name as one field of the tables: quoted, with its quotes doubled, when it holds a
// TAB, a line end or a quote, as CSV readers expect.
std::string TsvField(const std::string& text);

// The result name without the extension of its last component: "results" for
// "results.txt", "out/a" for "out/a.txt", ".hidden" for ".hidden".
std::string ResultStem(const std::string& resultName);

// "Summary_" + stem + ".tsv" and "Fisvalues_" + stem + ".tsv".
std::string SummaryFileName(const std::string& resultName);
std::string FisValuesFileName(const std::string& resultName);

// The two tables while a Run goes on. The summary is rewritten whole, each version put
// in place complete: after each test while it is small, then as its schedule allows, and
// with every finished test when the Run ends, fails or stops. The values are appended
// after each test to one new file (linear in the number of values), put in place when
// the Run ends, fails or stops, with the rows of the tests that finished.
struct OutcomeFiles {
  std::string summaryName;
  std::string valuesName;  // empty when the values are not written
  std::string summaryText;
  std::size_t rows = 0;              // the finished tests
  std::size_t summaryPublished = 0;  // the bytes of summaryText the file holds
  // The summary in place replaced one of this Run's own by an exchange of names (see
  // reports/results_file.h): the last version is put in place by a rename.
  bool summaryExchanged = false;
  RewriteSchedule summarySchedule{};
  OutputFile values;  // open once the first test has finished
};

OutcomeFiles StartOutcomeFiles(const std::string& resultName, bool writeFisValues,
                               RewriteSchedule summarySchedule = {});

// A finished test's row in the summary and its randomized values (rounded to doubles, in
// iteration order; needed only when the values are written); a failure is the Run's I/O
// error.
void AddOutcome(const WorkingFolder& folder, OutcomeFiles& files, const TestOutcome& outcome,
                const std::vector<double>& randomizedFis);

// After the last test: the summary holds every test, the values file takes its name.
void FinishOutcomeFiles(const WorkingFolder& folder, OutcomeFiles& files);

// After a failure or a stop: the values of the finished tests take their name when that
// can be done; nothing is reported, as the Run is already ending with its own error.
void SalvageOutcomeFiles(const WorkingFolder& folder, OutcomeFiles& files) noexcept;

// The figure files a Run's view draws when asked (RunSettings::drawFigures): SVG and PNG
// of "Fis_distribution_" and "Running_pvalue_" + stem, of "Locus_fis_" and
// "Population_fis_" + stem with the per-locus and per-population analyses, and of
// "Clone_sizes_" + stem (the Pareto plot of the clone sizes).
std::vector<std::string> FigureFileNames(const std::string& resultName, bool perLocus,
                                         bool perPopulation);

// The summary table's and values table's header lines and rows, without line ends.
std::string SummaryHeader();
std::string SummaryRow(const TestOutcome& outcome);
std::string FisValuesHeader();

}  // namespace genosieve

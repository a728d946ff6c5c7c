#include "analysis/outcome_files.h"

#include <string_view>
#include <utility>

#include "errors.h"
#include "messages.h"
#include "reports/number_format.h"

namespace genosieve {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

std::string Shortest(Extended value) { return FormatShortest(static_cast<double>(value)); }

}  // namespace

std::string TsvField(const std::string& text) {
  if (text.find_first_of("\t\r\n\"") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string ResultStem(const std::string& resultName) {
  const size_t slash = resultName.find_last_of('/');
  const size_t start = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = resultName.find_last_of('.');
  // A leading dot starts a hidden name, not an extension.
  if (dot == std::string::npos || dot <= start) return resultName;
  return resultName.substr(0, dot);
}

std::string SummaryFileName(const std::string& resultName) {
  return "Summary_" + ResultStem(resultName) + ".tsv";
}

std::string FisValuesFileName(const std::string& resultName) {
  return "Fisvalues_" + ResultStem(resultName) + ".tsv";
}

std::string SummaryHeader() {
  return "test\tindex\tname\tindividuals\tdistinct_genotypes\tobserved_fis\texpected_fis\t"
         "p_lower\tp_upper\titerations\tseed";
}

std::string SummaryRow(const TestOutcome& outcome) {
  std::string row = KindName(outcome.kind);
  for (const std::string& field :
       {std::to_string(outcome.index), TsvField(outcome.name), std::to_string(outcome.individuals),
        std::to_string(outcome.distinctGenotypes), Shortest(outcome.observed),
        Shortest(outcome.expected), Shortest(outcome.pLower), Shortest(outcome.pUpper),
        std::to_string(outcome.iterations), std::to_string(outcome.seed)}) {
    row += '\t';
    row += field;
  }
  return row;
}

std::string FisValuesHeader() { return "test\tindex\titeration\trandomized_fis"; }

OutcomeFiles StartOutcomeFiles(const std::string& resultName, bool writeFisValues,
                               RewriteSchedule summarySchedule) {
  OutcomeFiles files;
  files.summarySchedule = summarySchedule;
  files.summaryName = SummaryFileName(resultName);
  if (writeFisValues) files.valuesName = FisValuesFileName(resultName);
  files.summaryText = SummaryHeader();
  files.summaryText += kLineEnd;
  return files;
}

namespace {

// Whether the summary has rows that its file lacks, or its last version is to be put in
// place by a rename; without any row the previous Run's file stays.
bool SummaryDue(const OutcomeFiles& files) {
  return files.rows > 0 &&
         (files.summaryPublished != files.summaryText.size() || files.summaryExchanged);
}

// Puts the summary with every row so far in place: while tests go on, by an exchange
// with this Run's previous version.
void PublishSummary(const WorkingFolder& folder, OutcomeFiles& files, bool last) {
  const Replacement replacement =
      !last && files.summaryPublished > 0 ? Replacement::kExchange : Replacement::kRename;
  const RewriteSchedule::Clock::time_point start = RewriteSchedule::Clock::now();
  WriteWholeFile(folder, files.summaryName, files.summaryText, replacement);
  files.summaryPublished = files.summaryText.size();
  files.summaryExchanged = replacement == Replacement::kExchange;
  Rewritten(files.summarySchedule, start);
}

}  // namespace

void AddOutcome(const WorkingFolder& folder, OutcomeFiles& files, const TestOutcome& outcome,
                const std::vector<double>& randomizedFis) {
  const std::size_t before = files.summaryText.size();
  files.summaryText += SummaryRow(outcome);
  files.summaryText += kLineEnd;
  ++files.rows;
  if (RewriteDue(files.summarySchedule, files.summaryText.size())) {
    try {
      PublishSummary(folder, files, false);
    } catch (...) {
      // The row of a test whose report failed is not the summary's.
      files.summaryText.resize(before);
      --files.rows;
      throw;
    }
  }

  if (files.valuesName.empty()) return;
  if (randomizedFis.size() != static_cast<std::size_t>(outcome.iterations)) {
    ThrowInternalError(FillMessage("{} values of a test of {} iterations", randomizedFis.size(),
                                   outcome.iterations));
  }
  try {
    if (files.values.fd < 0) {
      files.values = CreateOutputFile(folder, files.valuesName);
      PutText(files.values, FisValuesHeader());
      PutText(files.values, kLineEnd);
    }
    const std::string prefix =
        std::string(KindName(outcome.kind)) + '\t' + std::to_string(outcome.index) + '\t';
    for (size_t i = 0; i < randomizedFis.size(); ++i) {
      PutText(files.values, prefix);
      PutText(files.values, std::to_string(i + 1));
      PutChar(files.values, '\t');
      PutText(files.values, FormatShortest(randomizedFis[i]));
      PutText(files.values, kLineEnd);
    }
    // The finished test's rows reach the file now, so that a failure later keeps them.
    FlushOutputFile(files.values);
  } catch (...) {
    // A file holding part of a test's rows is never put in place.
    files.values = OutputFile();
    throw;
  }
}

void FinishOutcomeFiles(const WorkingFolder& folder, OutcomeFiles& files) {
  if (SummaryDue(files)) PublishSummary(folder, files, true);
  if (files.values.fd >= 0) CommitOutputFile(files.values);
}

void SalvageOutcomeFiles(const WorkingFolder& folder, OutcomeFiles& files) noexcept {
  try {
    if (SummaryDue(files)) PublishSummary(folder, files, true);
  } catch (...) {
    // The previous version of the summary stays.
  }
  try {
    if (files.values.fd >= 0) CommitOutputFile(files.values);
  } catch (...) {
    // The file that could not be put in place is abandoned, and removed, with `files`.
    files.values = OutputFile();
  }
}

std::vector<std::string> FigureFileNames(const std::string& resultName, bool perLocus,
                                         bool perPopulation) {
  std::vector<std::string> prefixes = {"Fis_distribution_", "Running_pvalue_"};
  if (perLocus) prefixes.push_back("Locus_fis_");
  if (perPopulation) prefixes.push_back("Population_fis_");
  prefixes.push_back("Clone_sizes_");
  std::vector<std::string> names;
  for (const std::string& prefix : prefixes) {
    for (const char* extension : {".svg", ".png"}) {
      names.push_back(prefix + ResultStem(resultName) + extension);
    }
  }
  return names;
}

}  // namespace genosieve

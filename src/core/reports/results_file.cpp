#include "reports/results_file.h"

#include <string_view>

#include "errors.h"
#include "io/output_file.h"
#include "messages.h"
#include "reports/number_format.h"

namespace genosieve {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

void PutLine(OutputFile& out, std::string_view line) {
  PutText(out, line);
  PutText(out, kLineEnd);
}

// "Fis", then observed (row 0), expected (row 1) and the P-value (row N + 2).
std::string Body(const TallyState& state, char decimalSeparator) {
  CheckTallyComplete(state);
  if (!state.normalised) ThrowInternalError("a section of a tally not normalised");
  std::string text = "Fis";
  text += kLineEnd;
  text += FormatNumber(state.observed(), decimalSeparator) + "\tObserved";
  text += kLineEnd;
  text += FormatNumber(state.sum(), decimalSeparator) + "\tExpected";
  text += kLineEnd;
  text += FormatNumber(state.pValue(), decimalSeparator) + "\tp-value";
  text += kLineEnd;
  return text;
}

// The file's new text is complete before the file is written: a tally that cannot be
// written leaves the file untouched. The versions between this Run's first and its last
// replace each other by an exchange of names: a rename over a file made ext4 write every
// one out at once, which took most of the time of reporting a thousand small tests.
void Rewrite(const WorkingFolder& folder, ResultsFile& results, std::string text,
             Replacement replacement) {
  const RewriteSchedule::Clock::time_point start = RewriteSchedule::Clock::now();
  WriteWholeFile(folder, results.name, text, replacement);
  Rewritten(results.schedule, start);
  results.text = std::move(text);
  results.published = results.text.size();
  results.written = true;
  results.exchanged = replacement == Replacement::kExchange;
}

// Sections after the overall one continue the file this Run started; `now` writes the
// file whether or not the schedule says so, as the Run's last version.
void Append(const WorkingFolder& folder, ResultsFile& results, std::string_view section, bool now) {
  if (!results.written) ThrowInternalError("a section follows no overall section");
  if (now || RewriteDue(results.schedule, results.published)) {
    Rewrite(folder, results, results.text + std::string(section),
            now ? Replacement::kRename : Replacement::kExchange);
  } else {
    results.text += section;
  }
}

}  // namespace

void WriteOverallSection(const WorkingFolder& folder, ResultsFile& results, const TallyState& state,
                         char decimalSeparator, std::string_view firstLine) {
  std::string text;
  if (!firstLine.empty()) text.append(firstLine).append(kLineEnd);
  text += "Overall Loci, Overall Populations\r\n";
  Rewrite(folder, results, text + Body(state, decimalSeparator), Replacement::kRename);
}

void WritePerLocusSection(const WorkingFolder& folder, ResultsFile& results,
                          const TallyState& state, int32_t locus, char decimalSeparator) {
  const std::string body = Body(state, decimalSeparator);
  std::string heading = "\r\n";
  if (locus == 1) heading += "Per Locus Analyses\r\n";
  heading += "locus: " + std::to_string(locus) + "\r\n";
  Append(folder, results, heading + body, false);
}

void WritePerPopulationSection(const WorkingFolder& folder, ResultsFile& results,
                               const TallyState& state, int32_t population, char decimalSeparator) {
  const std::string body = Body(state, decimalSeparator);
  std::string heading = "\r\n";
  heading += population == 1 ? "Per Population Analyses\r\n" : "\r\n";
  heading += "Population: " + std::to_string(population) + "\r\n";
  Append(folder, results, heading + body, false);
}

void PublishResults(const WorkingFolder& folder, ResultsFile& results) {
  if (!results.written || (results.published == results.text.size() && !results.exchanged)) {
    return;
  }
  Rewrite(folder, results, results.text, Replacement::kRename);
}

void WriteInterruptedLine(const WorkingFolder& folder, ResultsFile& results) {
  if (!results.written) return;
  Append(folder, results, std::string(messages::kRunInterrupted) + std::string(kLineEnd), true);
}

void WritePValueFile(const WorkingFolder& folder, const std::string& fileName,
                     const TallyState& state, char decimalSeparator) {
  CheckTallyComplete(state);
  if (state.notAboveFlags.size() != static_cast<std::size_t>(state.iterations)) {
    ThrowInternalError(FillMessage("a p-value file of {} iterations from {} of them",
                                   state.iterations, state.notAboveFlags.size()));
  }
  OutputFile out = CreateOutputFile(folder, fileName);
  PutLine(out, "iteration\tp-value");
  int64_t notAbove = 1;
  for (int32_t i = 1; i <= state.iterations; ++i) {
    if (state.notAboveFlags[static_cast<std::size_t>(i) - 1]) ++notAbove;
    PutText(out, std::to_string(i));
    PutChar(out, '\t');
    PutLine(out, FormatNumber(RunningPValue(notAbove, i), decimalSeparator));
  }
  CommitOutputFile(out);
}

std::string OverallPValueFileName(const std::string& resultName) {
  return "overall p-values_" + resultName;
}

std::string LocusPValueFileName(const std::string& resultName, int32_t locus) {
  return "Locus" + std::to_string(locus) + "p-values_" + resultName;
}

std::string PopulationPValueFileName(const std::string& resultName, int32_t population) {
  return "Pop" + std::to_string(population) + "p-values_" + resultName;
}

}  // namespace genosieve

#include "reports/results_file.h"

#include <string_view>

#include "io/output_file.h"
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
  CheckTallyRows(state);
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

// A section is formatted whole before its file is opened: a tally that cannot be
// written leaves the file untouched.
void WriteSection(OutputFile out, std::string_view heading, std::string_view body) {
  PutText(out, heading);
  PutText(out, body);
  CommitOutputFile(out);
}

}  // namespace

void WriteOverallSection(const std::string& resultName, const TallyState& state,
                         char decimalSeparator) {
  const std::string body = Body(state, decimalSeparator);
  WriteSection(CreateOutputFile(resultName), "Overall Loci, Overall Populations\r\n", body);
}

void WritePerLocusSection(const std::string& resultName, const TallyState& state, int32_t locus,
                          char decimalSeparator) {
  const std::string body = Body(state, decimalSeparator);
  std::string heading = "\r\n";
  if (locus == 1) heading += "Per Locus Analyses\r\n";
  heading += "locus: " + std::to_string(locus) + "\r\n";
  // The results file must exist: the overall section created it.
  WriteSection(AppendOutputFile(resultName), heading, body);
}

void WritePerPopulationSection(const std::string& resultName, const TallyState& state,
                               int32_t population, char decimalSeparator) {
  const std::string body = Body(state, decimalSeparator);
  std::string heading = "\r\n";
  heading += population == 1 ? "Per Population Analyses\r\n" : "\r\n";
  heading += "Population: " + std::to_string(population) + "\r\n";
  WriteSection(AppendOutputFile(resultName), heading, body);
}

void WritePValueFile(const std::string& fileName, const TallyState& state, char decimalSeparator) {
  CheckTallyRows(state);
  OutputFile out = CreateOutputFile(fileName);
  PutLine(out, "iteration\tp-value");
  for (int32_t i = 1; i <= state.iterations; ++i) {
    PutText(out, std::to_string(i));
    PutChar(out, '\t');
    PutLine(out, FormatNumber(state.runningP(i), decimalSeparator));
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

#include "analysis/clonality.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>

#include "analysis/outcome_files.h"
#include "analysis/table_variant.h"
#include "data/genotype_file_writer.h"
#include "engine/engine.h"
#include "errors.h"
#include "io/output_file.h"
#include "reports/number_format.h"

namespace genosieve {

namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr double kLn10 = 2.30258509299404568401799145468437;

// Weir & Cockerham's Fis of a table, or none where the estimator meets 0/0, x/0 or an
// overflow: a table with one population gets the estimator for one sample.
std::optional<double> FisOf(const std::array<int32_t, 4>& header, const GenotypeTable& lines) {
  try {
    EngineWorkspace workspace;
    return static_cast<double>(EvaluateFis(LoadedGenotypes(header, lines), workspace));
  } catch (const InternalError&) {
    throw;
  } catch (const RunError&) {
    return std::nullopt;
  }
}

// Rows [first, first + count) of `source` as population 1 of a table of their own.
GenotypeTable OnePopulation(const GenotypeTable& source, int32_t first, int32_t count) {
  GenotypeTable lines;
  lines.loci = source.loci;
  AppendVariantRows(lines, source, first, count, 1, TableVariant{});
  return lines;
}

std::string Optional(const std::optional<double>& value) {
  return value ? FormatShortest(*value) : std::string();
}

std::string Line(const std::vector<std::string>& cells) {
  std::string line;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i > 0) line += '\t';
    line += cells[i];
  }
  return line + kLineEnd;
}

PsexVerdict VerdictOf(const std::optional<double>& logPsex) {
  if (!logPsex) return PsexVerdict::kUndefined;
  // The psex the table shows, and no other, is compared.
  return std::exp(*logPsex) < kPsexAlpha ? PsexVerdict::kOneGenet
                                         : PsexVerdict::kPossiblyDistinctGenets;
}

}  // namespace

ClonalityResults DescribeClonality(const DataFile& data, const PopulationIndex& index,
                                   const CloneDetection& clones, const CloneSummary& summary) {
  const HeaderNumbers& h = data.header;
  const int32_t populations = static_cast<int32_t>(index.size()) - 1;
  const std::array<int32_t, 4> one = {1, h.loci, h.highestAllele, h.codeWidth};
  ClonalityResults results;
  for (int32_t k = 1; k <= populations; ++k) {
    const auto p = static_cast<std::size_t>(k - 1);
    ClonalityRow row;
    row.population = k;
    row.name = PopulationName(data, static_cast<std::size_t>(k));
    const std::vector<int64_t> sizes = CloneSizes(summary, k);
    row.diversity = DescribeClonalDiversity(sizes);
    row.fisRamets = FisOf(one, OnePopulation(data.table, index[p], index[p + 1] - index[p]));
    row.fisGenets = FisOf(
        one, OnePopulation(clones.cloneFree, summary.distinctOffset[p], summary.ndGenotypes[p]));
    results.cloneSizes.push_back({k, row.name, FitPareto(sizes)});
    results.rows.push_back(std::move(row));
  }
  ClonalityRow all;
  all.name = "all";
  all.diversity = DescribeClonalDiversity(CloneSizes(summary, 0));
  const TableVariant overall{RandomizationKind::kOverall, 0};
  all.fisRamets = FisOf(VariantHeader(h, overall), ObservedLines(data, index, overall));
  all.fisGenets = FisOf(VariantHeader(h, overall), clones.cloneFree);
  results.rows.push_back(std::move(all));

  for (GenotypeProbability& probability :
       RepeatedGenotypeProbabilities(data.table, index, clones)) {
    PsexRow row;
    row.name = PopulationName(data, static_cast<std::size_t>(probability.population));
    row.verdict = VerdictOf(probability.logPsex);
    row.probability = std::move(probability);
    results.psex.push_back(std::move(row));
  }
  return results;
}

std::string ClonalityFileName(const std::string& resultName) {
  return "Clonality_" + ResultStem(resultName) + ".tsv";
}

std::string PsexFileName(const std::string& resultName) {
  return "Psex_" + ResultStem(resultName) + ".tsv";
}

std::vector<std::string> ClonalityHeader() {
  return {"population",       "name",        "ramets",     "genets",    "R", "simpson_d",
          "simpson_evenness", "pareto_beta", "fis_ramets", "fis_genets"};
}

std::vector<std::string> ClonalityCells(const ClonalityRow& row) {
  const ClonalDiversity& d = row.diversity;
  return {row.population == 0 ? "all" : std::to_string(row.population),
          TsvField(row.name),
          std::to_string(d.ramets),
          std::to_string(d.genets),
          Optional(d.richness),
          Optional(d.simpsonD),
          Optional(d.simpsonEvenness),
          Optional(d.paretoBeta),
          Optional(row.fisRamets),
          Optional(row.fisGenets)};
}

std::vector<std::string> PsexHeader() {
  return {"population", "name", "genotype", "copies", "pgen",
          "pgen_fis",   "psex", "psex_fis", "verdict"};
}

std::vector<std::string> PsexCells(const PsexRow& row) {
  const GenotypeProbability& p = row.probability;
  return {std::to_string(p.population),    TsvField(row.name),
          std::to_string(p.genotype),      std::to_string(p.copies),
          FormatLogProbability(p.logPgen), FormatLogProbability(p.logPgenFis),
          FormatLogProbability(p.logPsex), FormatLogProbability(p.logPsexFis),
          VerdictText(row.verdict)};
}

std::string VerdictText(PsexVerdict verdict) {
  switch (verdict) {
    case PsexVerdict::kOneGenet:
      return "one genet";
    case PsexVerdict::kPossiblyDistinctGenets:
      return "possibly distinct genets";
    case PsexVerdict::kUndefined:
      break;
  }
  return "";
}

std::string FormatLogProbability(std::optional<double> logValue) {
  if (!logValue) return "";
  const double log = *logValue;
  if (std::isnan(log)) ThrowInternalError("a NaN probability was about to be written");
  if (log == -HUGE_VAL) return "0";
  const double value = std::exp(log);
  if (value >= DBL_MIN) return FormatShortest(value);
  // Below the range of a double: mantissa and exponent from log10. A double holds about
  // 16 significant digits of the logarithm, shared by the exponent's digits and the
  // mantissa's.
  const double log10 = log / kLn10;
  auto exponent = static_cast<int64_t>(std::floor(log10));
  const std::string exponentDigits = std::to_string(-exponent);
  const int digits = std::max(3, 15 - static_cast<int>(exponentDigits.size()));
  const double scale = std::pow(10.0, digits - 1);
  auto mantissa = static_cast<int64_t>(
      std::llround(std::pow(10.0, log10 - static_cast<double>(exponent)) * scale));
  if (mantissa >= static_cast<int64_t>(scale) * 10) {
    mantissa /= 10;
    ++exponent;
  }
  std::string digitsText = std::to_string(mantissa);
  digitsText.erase(digitsText.find_last_not_of('0') + 1);
  std::string text(1, digitsText.front());
  if (digitsText.size() > 1) text.append(".").append(digitsText, 1);
  return text.append("e").append(std::to_string(exponent));
}

void WriteClonalityFiles(const WorkingFolder& folder, const std::string& resultName,
                         const ClonalityResults& results) {
  std::string clonality = Line(ClonalityHeader());
  for (const ClonalityRow& row : results.rows) clonality += Line(ClonalityCells(row));
  std::string psex = Line(PsexHeader());
  for (const PsexRow& row : results.psex) psex += Line(PsexCells(row));
  WriteWholeFile(folder, ClonalityFileName(resultName), clonality);
  WriteWholeFile(folder, PsexFileName(resultName), psex);
}

PossiblyDistinct CountPossiblyDistinct(const ClonalityResults& results, int32_t population) {
  PossiblyDistinct count;
  for (const PsexRow& row : results.psex) {
    if (row.probability.population != population) continue;
    ++count.repeated;
    if (row.verdict == PsexVerdict::kPossiblyDistinctGenets) ++count.possiblyDistinct;
  }
  return count;
}

}  // namespace genosieve

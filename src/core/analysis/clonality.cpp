#include "analysis/clonality.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

#include "analysis/outcome_files.h"
#include "engine/engine.h"
#include "engine/genotype_code.h"
#include "errors.h"
#include "io/output_file.h"
#include "messages.h"
#include "reports/number_format.h"

namespace genosieve {

namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr double kLn10 = 2.30258509299404568401799145468437;
// Significant digits of the probabilities: the precision their computation keeps.
constexpr int kProbabilityDigits = 12;

// Weir & Cockerham's Fis of the rows of `source` between successive `bounds`, each
// stretch a population (1, 2, ...), as the engine gives it for those rows as lines; none
// where the estimator meets 0/0, x/0 or an overflow: a table with one population gets the
// estimator for one sample. The rows' codes are made one locus at a time: the clone-free
// table of SNP-scale data would take tens of megabytes as codes.
std::optional<double> FisOfRows(const GenotypeTable& source, const std::vector<int32_t>& bounds,
                                int32_t highestAllele) {
  EngineInput shape;
  shape.populations = static_cast<int32_t>(bounds.size()) - 1;
  shape.loci = source.loci;
  shape.highestAllele = highestAllele;
  const int32_t first = bounds.front();
  shape.individuals = bounds.back() - first;
  for (std::size_t p = 1; p < bounds.size(); ++p) shape.populationEnd.push_back(bounds[p] - first);
  const auto n = static_cast<std::size_t>(shape.individuals);
  const auto columnOf = [&source, first, n](int32_t locus, int32_t* column) {
    for (std::size_t i = 0; i < n; ++i) {
      const AllelePair& pair = source.at(first + static_cast<int32_t>(i), locus);
      if (pair.first < 0 || pair.first > 999 || pair.second < 0 || pair.second > 999) {
        ThrowInternalError(FillMessage("genotype {}/{}", pair.first, pair.second));
      }
      column[i] = GenotypeCode(pair);
    }
  };
  try {
    EngineWorkspace workspace;
    return static_cast<double>(EvaluateFisByColumn(shape, columnOf, workspace));
  } catch (const InternalError&) {
    throw;
  } catch (const RunError&) {
    return std::nullopt;
  }
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
                                   const CloneDetection& clones, const CloneSummary& summary,
                                   std::optional<double> overallFis) {
  const int32_t highest = data.header.highestAllele;
  const int32_t populations = static_cast<int32_t>(index.size()) - 1;
  ClonalityResults results;
  for (int32_t k = 1; k <= populations; ++k) {
    const auto p = static_cast<std::size_t>(k - 1);
    ClonalityRow row;
    row.population = k;
    row.name = PopulationName(data, static_cast<std::size_t>(k));
    const std::vector<int64_t> sizes = CloneSizes(summary, k);
    row.diversity = DescribeClonalDiversity(sizes);
    row.fisRamets = FisOfRows(data.table, {index[p], index[p + 1]}, highest);
    row.fisGenets = FisOfRows(clones.cloneFree,
                              {summary.distinctOffset[p], summary.distinctOffset[p + 1]}, highest);
    results.cloneSizes.push_back({k, row.name, FitPareto(sizes)});
    results.rows.push_back(std::move(row));
  }
  ClonalityRow all;
  all.name = "all";
  all.diversity = DescribeClonalDiversity(CloneSizes(summary, 0));
  if (populations == 1) {
    // The same tables as the population's row.
    all.fisRamets = results.rows.front().fisRamets;
    all.fisGenets = results.rows.front().fisGenets;
  } else {
    all.fisRamets = overallFis ? overallFis : FisOfRows(data.table, index, highest);
    all.fisGenets = FisOfRows(clones.cloneFree, summary.distinctOffset, highest);
  }
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

ClonalityResults DescribeClonalityWithoutOverallFis(const DataFile& data,
                                                    const PopulationIndex& index,
                                                    const CloneDetection& clones,
                                                    const CloneSummary& summary) {
  // A stand-in, replaced by GiveOverallFis; with one population the row of all takes the
  // population's own.
  return DescribeClonality(data, index, clones, summary, std::numeric_limits<double>::quiet_NaN());
}

void GiveOverallFis(ClonalityResults& results, double overallFis) {
  // The row of all populations comes last, after one row per population.
  if (results.rows.size() > 2) results.rows.back().fisRamets = overallFis;
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
  // The decimal exponent and the mantissa in [1, 10): from the value while it is a normal
  // double, else from the logarithm, which then holds fewer digits of the mantissa (a
  // double carries about 16 significant digits, shared with the exponent's).
  int digits = kProbabilityDigits;
  int64_t exponent = 0;
  double mantissa = 0.0;
  const double value = std::exp(log);
  if (value >= DBL_MIN) {
    exponent = static_cast<int64_t>(std::floor(std::log10(value)));
    mantissa = value / std::pow(10.0, static_cast<double>(exponent));
  } else {
    const double log10 = log / kLn10;
    exponent = static_cast<int64_t>(std::floor(log10));
    mantissa = std::pow(10.0, log10 - static_cast<double>(exponent));
    const auto exponentDigits = static_cast<int>(std::to_string(-exponent).size());
    digits = std::min(digits, std::max(3, 15 - exponentDigits));
  }
  const double scale = std::pow(10.0, digits - 1);
  auto rounded = static_cast<int64_t>(std::llround(mantissa * scale));
  // log10 may put the mantissa just below 1 or at 10: one more or one less.
  if (rounded < static_cast<int64_t>(scale)) {
    rounded = static_cast<int64_t>(std::llround(mantissa * scale * 10.0));
    --exponent;
  }
  if (rounded >= static_cast<int64_t>(scale) * 10) {
    rounded = static_cast<int64_t>(std::llround(static_cast<double>(rounded) / 10.0));
    ++exponent;
  }
  std::string significant = std::to_string(rounded);
  significant.erase(significant.find_last_not_of('0') + 1);
  std::string text;
  if (exponent >= -4 && exponent <= 0) {
    // 0.000ddd, or d.ddd
    if (exponent < 0) {
      text = "0.";
      text.append(static_cast<std::size_t>(-exponent - 1), '0');
      text.append(significant);
    } else {
      text.assign(1, significant.front());
      if (significant.size() > 1) text.append(".").append(significant, 1);
    }
    return text;
  }
  text.assign(1, significant.front());
  if (significant.size() > 1) text.append(".").append(significant, 1);
  // The exponent as the summary table's numbers write it: a sign and two digits at least.
  const std::string magnitude = std::to_string(exponent < 0 ? -exponent : exponent);
  text.append(exponent < 0 ? "e-" : "e+");
  if (magnitude.size() < 2) text.append("0");
  return text.append(magnitude);
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

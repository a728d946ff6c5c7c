// The checks behind the fuzz targets, shared with the regression tests that replay the
// inputs the fuzzers found: each returns an empty text when the input was handled as it
// must be, else what went wrong.
#pragma once

#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/run.h"
#include "analysis/run_settings.h"
#include "analysis/run_view.h"
#include "data/data_file_reader.h"
#include "data/data_format.h"
#include "data/fstat_reader.h"
#include "data/genalex_reader.h"
#include "data/genepop_reader.h"
#include "data/native_export.h"
#include "engine/engine.h"
#include "engine/genotype_file.h"
#include "errors.h"
#include "support/fake_run_view.h"
#include "support/reference_engine.h"

namespace genosieve::fuzz {

// A whole Run (one iteration, every analysis and file on) on the data file at
// `dataPath`, writing into the current working folder: it must end in "done ! " or a
// RunError. Any other exception escapes to the caller.
inline std::string CheckDataFileRun(const std::string& dataPath) {
  RunSettings settings;
  settings.dataPath = dataPath;
  // Built, then moved in: assigning the literal trips a GCC 12 -Wrestrict false positive.
  settings.iterationsText = std::string(1, '1');
  settings.createPValueFiles = true;
  settings.perLocusAnalysis = true;
  settings.perPopulationAnalysis = true;
  settings.seed = 0;
  testing::FakeRunView view;
  try {
    Run(settings, view);
  } catch (const RunError&) {
    return {};  // refused input: expected
  }
  return view.Done() ? std::string() : "the Run returned without \"done ! \"";
}

struct Estimate {
  std::optional<Extended> fis;
  std::string error;
};

inline Estimate EstimateOf(const EngineInput& input, EngineWorkspace* workspace) {
  Estimate estimate;
  try {
    estimate.fis = workspace != nullptr ? EvaluateFis(input, *workspace) : EvaluateFis(input);
  } catch (const RunError& error) {
    estimate.error = error.what();
  }
  return estimate;
}

inline bool SameEstimate(const Estimate& a, const Estimate& b) {
  if (a.fis.has_value() != b.fis.has_value()) return false;
  if (!a.fis) return a.error == b.error;
  // Bit for bit (the 80 value bits): a reused workspace must not change any rounding.
  return std::memcmp(&*a.fis, &*b.fis, 10) == 0;
}

// The loaded genotypes as the in-memory table of the Run: codes split back into allele
// pairs, populations numbered by position.
inline GenotypeTable TableOf(const EngineInput& input) {
  GenotypeTable table;
  table.loci = input.loci;
  const auto n = static_cast<size_t>(input.individuals);
  const auto loci = static_cast<size_t>(input.loci);
  table.population.resize(n);
  table.cells.resize(n * loci);
  size_t population = 0;
  for (size_t i = 0; i < n; ++i) {
    while (static_cast<size_t>(input.populationEnd[population]) <= i) ++population;
    table.population[i] = static_cast<int32_t>(population + 1);
    for (size_t k = 0; k < loci; ++k) {
      const int32_t code = input.codes[k * n + i];
      table.cells[i * loci + k] = PairOf(code / 1000, code % 1000);
    }
  }
  return table;
}

// The engine's loader on `content`, then, when it loads, the estimator. The estimate
// made in `reused` (a workspace earlier inputs have used) must equal a fresh one, and a
// loaded table whose alleles fit three digits must come back identical through the
// in-memory path the randomization tests use.
inline std::string CheckGenotypeFile(std::string_view content, EngineWorkspace& reused) {
  EngineInput input;
  try {
    input = ParseGenotypeFile(content, kRandomizedFileName);
  } catch (const RunError&) {
    return {};  // refused input: expected
  }
  const Estimate fresh = EstimateOf(input, nullptr);
  if (!SameEstimate(fresh, EstimateOf(input, &reused))) {
    return "a reused workspace gives another estimate than a fresh one";
  }
  for (int32_t code : input.codes) {
    if (code / 1000 > 999) return {};
  }
  EngineInput again;
  try {
    again = MakeEngineInput(TableOf(input), input.populations, input.highestAllele);
  } catch (const RunError& error) {
    return std::string("the in-memory path refuses a loaded table: ") + error.what();
  }
  if (again.populations != input.populations || again.loci != input.loci ||
      again.highestAllele != input.highestAllele || again.individuals != input.individuals ||
      again.populationEnd != input.populationEnd || again.codes != input.codes) {
    return "the in-memory path loads another table";
  }
  return {};
}

// What a reader's data must hold whatever the input: a table that fits its header, alleles
// from 0 to A with no half-missing genotype, one identifier per individual, populations
// the index can find.
inline std::string CheckReadData(const DataFile& data) {
  const HeaderNumbers& h = data.header;
  const GenotypeTable& table = data.table;
  if (h.populations < 1 || h.loci < 1 || h.highestAllele < 1 || h.highestAllele > 999 ||
      h.codeWidth < 1 || h.codeWidth > 3) {
    return "header numbers out of range";
  }
  if (table.loci != h.loci || data.locusNames.size() != static_cast<size_t>(h.loci) ||
      table.cells.size() != static_cast<size_t>(table.rows()) * static_cast<size_t>(h.loci) ||
      data.identifiers.size() != static_cast<size_t>(table.rows()) || table.rows() < 2) {
    return "the table does not fit its header";
  }
  if (!data.populationNames.empty() &&
      data.populationNames.size() != static_cast<size_t>(h.populations)) {
    return "population names do not match P";
  }
  for (const AllelePair& pair : table.cells) {
    if (pair.first < 0 || pair.second < 0 || pair.first > h.highestAllele ||
        pair.second > h.highestAllele || (pair.first == 0) != (pair.second == 0)) {
      return "an allele out of range or a half-missing genotype";
    }
  }
  return {};
}

// One of the readers of other programs' layouts on `content`: it must refuse with a
// RunError or give data that pass CheckReadData and come back the same through the native
// layout (written as "native.txt" in the current working folder and read by the native
// reader).
inline std::string CheckReader(DataFormat format, std::string_view content) {
  DataFile data;
  std::vector<std::string> notices;
  try {
    switch (format) {
      case DataFormat::kGenepop:
        data = ReadGenepop(content, "input", notices);
        break;
      case DataFormat::kGenalex:
        data = ReadGenalex(content, "input", notices);
        break;
      default:
        data = ReadFstat(content, "input", notices);
        break;
    }
  } catch (const RunError&) {
    return {};  // refused input: expected
  }
  if (std::string problem = CheckReadData(data); !problem.empty()) return problem;
  PopulationIndex index;
  try {
    index = BuildPopulationIndex(data);
  } catch (const RunError& error) {
    return std::string("the population index fails: ") + error.what();
  }
  {
    std::ofstream out("native.txt", std::ios::binary | std::ios::trunc);
    out << NativeDataText(data, index);
  }
  try {
    const DataFile again = ReadDataFile("native.txt");
    const HeaderNumbers& a = again.header;
    const HeaderNumbers& h = data.header;
    if (a.populations != h.populations || a.loci != h.loci || a.highestAllele != h.highestAllele ||
        a.codeWidth != h.codeWidth || again.table.cells != data.table.cells ||
        BuildPopulationIndex(again) != index) {
      return "the native layout reads back as other data";
    }
  } catch (const RunError& error) {
    return std::string("the native layout does not read back: ") + error.what();
  }
  return {};
}

}  // namespace genosieve::fuzz

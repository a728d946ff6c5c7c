#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/genotype_table.h"
#include "engine/engine_input.h"
#include "io/output_file.h"
#include "io/working_folder.h"

namespace genosieve {

// Lines of an intermediate genotype file that refer to the genotypes they hold instead of
// copying them: line r has population number population[r] and the `loci` genotypes that
// stand one after another from genotypes[r], in a table that outlives the lines or in the
// lines' own filler line.
struct GenotypeLines {
  int32_t loci = 0;
  std::vector<int32_t> population;
  std::vector<const AllelePair*> genotypes;
  std::shared_ptr<const std::vector<AllelePair>> filler;

  int32_t rows() const { return static_cast<int32_t>(population.size()); }
};

// Lines referring to every row of `table`.
GenotypeLines LinesOf(const GenotypeTable& table);
// The lines copied into a table of their own.
GenotypeTable TableOf(const GenotypeLines& lines);

// Writes a file of the working folder in the intermediate genotype file layout (the engine's input
// files and the clone-free data file): the four header values each followed by a blank, labelCount
// lines "A", then one line per row of `lines` (its population number, TAB, one six-digit field +
// TAB per locus), every line ended by CR LF. Fails with the Run's I/O error; an allele outside
// 0..999 (which three digits cannot hold) is refused with a RunError before the file is created.
// `replacement`: how the file replaces the one of its name (io/output_file.h).
void WriteGenotypeFile(const WorkingFolder& folder, const std::string& fileName,
                       const std::array<int32_t, 4>& headerValues, int32_t labelCount,
                       const GenotypeLines& lines, Replacement replacement = Replacement::kRename);
void WriteGenotypeFile(const WorkingFolder& folder, const std::string& fileName,
                       const std::array<int32_t, 4>& headerValues, int32_t labelCount,
                       const GenotypeTable& lines, Replacement replacement = Replacement::kRename);

// What the engine loads from the file WriteGenotypeFile writes with these header values and
// lines (labelCount = loci): the same input, without the file. An InternalError for lines
// no such file could hold.
EngineInput LoadedGenotypes(const std::array<int32_t, 4>& headerValues, const GenotypeLines& lines);
EngineInput LoadedGenotypes(const std::array<int32_t, 4>& headerValues, const GenotypeTable& lines);

}  // namespace genosieve

#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "data/genotype_table.h"
#include "engine/engine_input.h"
#include "io/output_file.h"
#include "io/working_folder.h"

namespace genosieve {

// Writes a file of the working folder in the intermediate genotype file layout (the engine's input
// files and the clone-free data file): the four header values each followed by a blank, labelCount
// lines "A", then one line per row of `lines` (its population number, TAB, one six-digit field +
// TAB per locus), every line ended by CR LF. Fails with the Run's I/O error; an allele outside
// 0..999 (which three digits cannot hold) is refused with a RunError before the file is created.
// `replacement`: how the file replaces the one of its name (io/output_file.h).
void WriteGenotypeFile(const WorkingFolder& folder, const std::string& fileName,
                       const std::array<int32_t, 4>& headerValues, int32_t labelCount,
                       const GenotypeTable& lines, Replacement replacement = Replacement::kRename);

// What the engine loads from the file WriteGenotypeFile writes with these header values and
// lines (labelCount = loci): the same input, without the file. An InternalError for lines
// no such file could hold.
EngineInput LoadedGenotypes(const std::array<int32_t, 4>& headerValues, const GenotypeTable& lines);

}  // namespace genosieve

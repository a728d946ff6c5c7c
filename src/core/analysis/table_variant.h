#pragma once

#include <array>
#include <cstdint>

#include "analysis/randomization_kind.h"
#include "data/genotype_file_writer.h"
#include "data/genotype_table.h"

namespace genosieve {

// Which table a test hands to the engine: the variant of the intermediate genotype file
// and the locus or population under test.
struct TableVariant {
  RandomizationKind kind = RandomizationKind::kOverall;
  int32_t subject = 0;  // 1-based locus (per locus) or population (per population)
};

// Loci of the variant's file: 1 for a locus test, else all.
int32_t LociInFile(const HeaderNumbers& header, const TableVariant& variant);

// The data locus (0-based) of locus `l` (0-based) of the variant's file.
int32_t DataLocus(const TableVariant& variant, int32_t l);

// An internal error unless the variant's locus or population is in the data.
void CheckVariant(const HeaderNumbers& header, const TableVariant& variant);

// Header values and the individual lines of a test's files. Populations are numbered by
// position; the per-population variant numbers the tested population 1 and adds as many
// filler lines, population 2, homozygous for the highest allele at every locus.
std::array<int32_t, 4> VariantHeader(const HeaderNumbers& header, const TableVariant& variant);
GenotypeLines ObservedGenotypeLines(const DataFile& data, const PopulationIndex& index,
                                    const TableVariant& variant);
// The same lines copied into a table.
GenotypeTable ObservedLines(const DataFile& data, const PopulationIndex& index,
                            const TableVariant& variant);

// Appends `count` rows of `source` from `first` on, numbered `population`, with the
// variant's loci.
void AppendVariantRows(GenotypeLines& lines, const GenotypeTable& source, int32_t first,
                       int32_t count, int32_t population, const TableVariant& variant);
void AppendVariantRows(GenotypeTable& lines, const GenotypeTable& source, int32_t first,
                       int32_t count, int32_t population, const TableVariant& variant);

// Appends `count` filler lines: population 2, homozygous for the highest allele.
void AppendFillers(GenotypeLines& lines, int32_t count, int32_t highestAllele);
void AppendFillers(GenotypeTable& lines, int32_t count, int32_t highestAllele);

}  // namespace genosieve

#include "analysis/table_variant.h"

#include <memory>

#include "errors.h"
#include "messages.h"

namespace genosieve {

namespace {

size_t Size(int32_t value) { return static_cast<size_t>(value); }

void AppendLine(GenotypeTable& lines, int32_t population) {
  lines.population.push_back(population);
  lines.cells.resize(lines.cells.size() + Size(lines.loci));
}

}  // namespace

int32_t LociInFile(const HeaderNumbers& header, const TableVariant& variant) {
  return variant.kind == RandomizationKind::kPerLocus ? 1 : header.loci;
}

int32_t DataLocus(const TableVariant& variant, int32_t l) {
  return variant.kind == RandomizationKind::kPerLocus ? variant.subject - 1 : l;
}

void CheckVariant(const HeaderNumbers& header, const TableVariant& variant) {
  if (variant.kind == RandomizationKind::kPerLocus &&
      (variant.subject < 1 || variant.subject > header.loci)) {
    ThrowInternalError(FillMessage("no locus {} in the data", variant.subject));
  }
  if (variant.kind == RandomizationKind::kPerPopulation &&
      (variant.subject < 1 || variant.subject > header.populations)) {
    ThrowInternalError(FillMessage("no population {} in the data", variant.subject));
  }
}

void AppendFillers(GenotypeTable& lines, int32_t count, int32_t highestAllele) {
  for (int32_t i = 0; i < count; ++i) {
    AppendLine(lines, 2);
    for (int32_t l = 0; l < lines.loci; ++l) {
      lines.at(lines.rows() - 1, l) = PairOf(highestAllele, highestAllele);
    }
  }
}

void AppendFillers(GenotypeLines& lines, int32_t count, int32_t highestAllele) {
  if (!lines.filler || lines.filler->size() != Size(lines.loci) ||
      (lines.loci > 0 && !(lines.filler->front() == PairOf(highestAllele, highestAllele)))) {
    lines.filler = std::make_shared<const std::vector<AllelePair>>(
        Size(lines.loci), PairOf(highestAllele, highestAllele));
  }
  lines.population.insert(lines.population.end(), Size(count), 2);
  lines.genotypes.insert(lines.genotypes.end(), Size(count), lines.filler->data());
}

void AppendVariantRows(GenotypeLines& lines, const GenotypeTable& source, int32_t first,
                       int32_t count, int32_t population, const TableVariant& variant) {
  // A locus test's line is the one genotype at its locus.
  const int32_t locus = variant.kind == RandomizationKind::kPerLocus ? variant.subject - 1 : 0;
  for (int32_t row = first; row < first + count; ++row) {
    lines.population.push_back(population);
    lines.genotypes.push_back(&source.at(row, locus));
  }
}

void AppendVariantRows(GenotypeTable& lines, const GenotypeTable& source, int32_t first,
                       int32_t count, int32_t population, const TableVariant& variant) {
  for (int32_t row = first; row < first + count; ++row) {
    AppendLine(lines, population);
    for (int32_t l = 0; l < lines.loci; ++l) {
      lines.at(lines.rows() - 1, l) = source.at(row, DataLocus(variant, l));
    }
  }
}

std::array<int32_t, 4> VariantHeader(const HeaderNumbers& header, const TableVariant& variant) {
  const int32_t populations =
      variant.kind == RandomizationKind::kPerPopulation ? 2 : header.populations;
  return {populations, LociInFile(header, variant), header.highestAllele, header.codeWidth};
}

GenotypeLines ObservedGenotypeLines(const DataFile& data, const PopulationIndex& index,
                                    const TableVariant& variant) {
  CheckVariant(data.header, variant);
  GenotypeLines lines;
  lines.loci = LociInFile(data.header, variant);
  if (variant.kind == RandomizationKind::kPerPopulation) {
    const size_t k = Size(variant.subject);
    const int32_t size = index[k] - index[k - 1];
    AppendVariantRows(lines, data.table, index[k - 1], size, 1, variant);
    AppendFillers(lines, size, data.header.highestAllele);
    return lines;
  }
  for (size_t p = 1; p < index.size(); ++p) {
    AppendVariantRows(lines, data.table, index[p - 1], index[p] - index[p - 1],
                      static_cast<int32_t>(p), variant);
  }
  return lines;
}

GenotypeTable ObservedLines(const DataFile& data, const PopulationIndex& index,
                            const TableVariant& variant) {
  return TableOf(ObservedGenotypeLines(data, index, variant));
}

}  // namespace genosieve

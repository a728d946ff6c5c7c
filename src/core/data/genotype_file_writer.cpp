#include "data/genotype_file_writer.h"

#include <algorithm>
#include <cstring>

#include "engine/genotype_code.h"
#include "errors.h"
#include "io/output_file.h"
#include "messages.h"

namespace genosieve {

namespace {

void PutInt(OutputFile& out, int32_t value) {
  char digits[12];
  int count = 0;
  int64_t v = value;
  const bool negative = v < 0;
  if (negative) v = -v;
  do {
    digits[count++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  char* room = ReserveOutput(out, static_cast<std::size_t>(count + (negative ? 1 : 0)));
  if (negative) *room++ = '-';
  while (count > 0) *room++ = digits[--count];
}

// The three digits, with leading zeros, of every allele 0 to 999: a copy per allele where
// digits worked out one by one took most of the writing of a large file.
struct AlleleDigits {
  char digits[1000][4] = {};
  constexpr AlleleDigits() {
    for (int allele = 0; allele < 1000; ++allele) {
      digits[allele][0] = static_cast<char>('0' + allele / 100);
      digits[allele][1] = static_cast<char>('0' + allele / 10 % 10);
      digits[allele][2] = static_cast<char>('0' + allele % 10);
    }
  }
};
constexpr AlleleDigits kAlleleDigits;

// The caller has checked 0 <= allele <= 999.
void PutAllele(char* room, int32_t allele) { std::memcpy(room, kAlleleDigits.digits[allele], 3); }

// Genotype fields reserved at once: a row's, up to this many.
constexpr int32_t kFieldsAtOnce = 4096;

void PutLineEnd(OutputFile& out) {
  char* room = ReserveOutput(out, 2);
  room[0] = '\r';
  room[1] = '\n';
}

void CheckShape(const GenotypeLines& lines) {
  if (lines.loci < 0 || lines.genotypes.size() != lines.population.size()) {
    ThrowInternalError(
        FillMessage("{} lines with {} places of genotypes", lines.rows(), lines.genotypes.size()));
  }
}

void CheckShape(const GenotypeTable& lines) {
  if (lines.loci < 0 || lines.cells.size() != static_cast<std::size_t>(lines.rows()) *
                                                  static_cast<std::size_t>(lines.loci)) {
    ThrowInternalError(FillMessage("the genotype table holds {} genotypes for {} rows of {} loci",
                                   lines.cells.size(), lines.rows(), lines.loci));
  }
}

// Alleles that do not fit three digits would be read back as other genotypes.
void CheckAlleles(const std::string& fileName, int32_t labelCount, const GenotypeLines& lines) {
  for (int32_t row = 0; row < lines.rows(); ++row) {
    const AllelePair* genotypes = lines.genotypes[static_cast<std::size_t>(row)];
    for (int32_t k = 0; k < lines.loci; ++k) {
      const AllelePair& pair = genotypes[k];
      for (const int32_t allele : {pair.first, pair.second}) {
        if (allele >= 0 && allele <= 999) continue;
        // The line the allele would stand on: after the header and the label lines.
        const FilePlace place{"File", fileName, int64_t{2} + labelCount + row, k + 1, {}};
        throw RunError(Located(place, messages::AlleleNotThreeDigits(allele)));
      }
    }
  }
}

}  // namespace

GenotypeLines LinesOf(const GenotypeTable& table) {
  CheckShape(table);
  GenotypeLines lines;
  lines.loci = table.loci;
  lines.population = table.population;
  lines.genotypes.reserve(table.population.size());
  for (int32_t row = 0; row < table.rows(); ++row) {
    lines.genotypes.push_back(table.cells.data() +
                              static_cast<std::size_t>(row) * static_cast<std::size_t>(table.loci));
  }
  return lines;
}

GenotypeTable TableOf(const GenotypeLines& lines) {
  CheckShape(lines);
  GenotypeTable table;
  table.loci = lines.loci;
  table.population = lines.population;
  table.cells.reserve(lines.genotypes.size() * static_cast<std::size_t>(lines.loci));
  for (const AllelePair* genotypes : lines.genotypes) {
    table.cells.insert(table.cells.end(), genotypes, genotypes + lines.loci);
  }
  return table;
}

void WriteGenotypeFile(const WorkingFolder& folder, const std::string& fileName,
                       const std::array<int32_t, 4>& headerValues, int32_t labelCount,
                       const GenotypeLines& lines, Replacement replacement) {
  CheckShape(lines);
  CheckAlleles(fileName, labelCount, lines);

  OutputFile out = CreateOutputFile(folder, fileName);
  for (int32_t value : headerValues) {
    PutInt(out, value);
    PutChar(out, ' ');
  }
  PutLineEnd(out);
  for (int32_t i = 0; i < labelCount; ++i) {
    PutChar(out, 'A');
    PutLineEnd(out);
  }
  const int32_t loci = lines.loci;
  for (int32_t row = 0; row < lines.rows(); ++row) {
    PutInt(out, lines.population[static_cast<std::size_t>(row)]);
    PutChar(out, '\t');
    const AllelePair* genotypes = lines.genotypes[static_cast<std::size_t>(row)];
    for (int32_t k = 0; k < loci; k += kFieldsAtOnce) {
      const int32_t count = std::min(kFieldsAtOnce, loci - k);
      char* field = ReserveOutput(out, 7 * static_cast<std::size_t>(count));
      for (const AllelePair* pair = genotypes + k; pair != genotypes + k + count; ++pair) {
        PutAllele(field, pair->first);
        PutAllele(field + 3, pair->second);
        field[6] = '\t';
        field += 7;
      }
    }
    PutLineEnd(out);
  }
  CommitOutputFile(out, replacement);
}

void WriteGenotypeFile(const WorkingFolder& folder, const std::string& fileName,
                       const std::array<int32_t, 4>& headerValues, int32_t labelCount,
                       const GenotypeTable& lines, Replacement replacement) {
  WriteGenotypeFile(folder, fileName, headerValues, labelCount, LinesOf(lines), replacement);
}

EngineInput LoadedGenotypes(const std::array<int32_t, 4>& headerValues,
                            const GenotypeLines& lines) {
  CheckShape(lines);
  EngineInput input;
  input.populations = headerValues[0];
  input.loci = headerValues[1];
  input.highestAllele = headerValues[2];
  if (input.populations < 0 || input.loci != lines.loci || input.highestAllele < 0) {
    ThrowInternalError(FillMessage("header {} {} {} for lines of {} loci", input.populations,
                                   input.loci, input.highestAllele, lines.loci));
  }
  const auto loci = static_cast<std::size_t>(input.loci);
  std::vector<int32_t> lineCount(static_cast<std::size_t>(input.populations), 0);
  // Lines of population 0 are skipped by the loader.
  std::vector<int32_t> rows;
  rows.reserve(static_cast<std::size_t>(lines.rows()));
  for (int32_t row = 0; row < lines.rows(); ++row) {
    const int32_t population = lines.population[static_cast<std::size_t>(row)];
    if (population == 0) continue;
    if (population < 1 || population > input.populations) {
      ThrowInternalError(FillMessage("population {} of {}", population, input.populations));
    }
    ++lineCount[static_cast<std::size_t>(population - 1)];
    rows.push_back(row);
  }
  const std::size_t n = rows.size();
  input.individuals = static_cast<int32_t>(n);
  input.populationEnd = PopulationEnds(lineCount);
  input.codes.resize(loci * n);
  for (std::size_t k = 0; k < loci; ++k) {
    for (std::size_t i = 0; i < n; ++i) {
      const AllelePair& pair = lines.genotypes[static_cast<std::size_t>(rows[i])][k];
      const int32_t code = GenotypeCode(pair);
      if (pair.first < 0 || pair.first > 999 || pair.second < 0 || pair.second > 999 ||
          !IsValidGenotypeCode(code, input.highestAllele)) {
        ThrowInternalError(FillMessage("genotype {}/{} with A = {}", pair.first, pair.second,
                                       input.highestAllele));
      }
      input.codes[k * n + i] = code;
    }
  }
  return input;
}

EngineInput LoadedGenotypes(const std::array<int32_t, 4>& headerValues,
                            const GenotypeTable& lines) {
  return LoadedGenotypes(headerValues, LinesOf(lines));
}

}  // namespace genosieve

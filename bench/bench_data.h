#pragma once

// Seeded generator of the benchmark data shared by every benchmark program.
//
// Two standard data sets, always identical for the same options (own generator, no
// standard-library distribution, so every platform builds the same tables):
//   - LargeBenchData():   100 populations of 50 individuals (5000), 50 loci, highest
//                         allele 999, about 20 alleles present per locus, 30 % of the
//                         individuals clone copies, 1 % missing genotypes;
//   - TypicalBenchData(): 10 populations of 50 individuals, 10 loci, about 12 alleles
//                         per locus, highest allele 300, 30 % clone copies.
// The result is a DataFile as the data file reader fills it: header numbers
// (codeWidth 3), one "Locus k" name per locus, and a genotype table whose rows carry
// population numbers 1..P in runs (population 1 first). Clone copies repeat a whole
// multilocus genotype of their own population and stand at random places inside it.
//
// Allele sizes look like microsatellite data: every locus has a base size and a repeat
// unit of 2, 3 or 4, and its alleles are base + unit × j. allelesPerLocus alleles exist
// per locus; frequencies differ between populations and are skewed, so some alleles
// are rare and a few are absent from some populations.

#include <cstdint>
#include <string>

#include "data/genotype_table.h"

namespace genosieve::bench {

struct BenchDataOptions {
  int32_t populations = 100;
  int32_t individualsPerPopulation = 50;
  int32_t loci = 50;
  int32_t highestAllele = 999;      // copied to the header (A)
  int32_t largestAlleleUsed = 999;  // no allele above this is drawn (<= highestAllele)
  int32_t allelesPerLocus = 20;
  double cloneShare = 0.30;    // share of individuals that are extra clone copies
  double missingShare = 0.01;  // share of missing genotypes among the distinct ones
  uint64_t seed = 20240611;
};

BenchDataOptions LargeOptions();
BenchDataOptions TypicalOptions();
// SNP-like: 20 populations of 100, 1000 biallelic loci.
BenchDataOptions SnpOptions();
// SNP scale: the SNP-like data with 10,000 biallelic loci.
BenchDataOptions Snp10kOptions();
// `populations` populations of 4 individuals, 10 loci of 4 alleles.
BenchDataOptions SmallPopulationsOptions(int32_t populations);

// The data set of the options; the same options always give the same data.
DataFile MakeBenchData(const BenchDataOptions& options);

DataFile LargeBenchData();
DataFile TypicalBenchData();

// Row boundaries of the populations of data.table (P + 1 entries, as the reader's
// population index).
PopulationIndex MakeBenchPopulationIndex(const DataFile& data);

// Writes `data` as a data file with three-digit alleles, for whole Runs of the command
// line; false when the file could not be written.
bool WriteBenchDataFile(const std::string& name, const DataFile& data);

}  // namespace genosieve::bench

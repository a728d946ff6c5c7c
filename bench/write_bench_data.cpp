// Writes the benchmark data sets as data files, so that whole Runs of genosieve-cli can
// be timed on them:
//   write_bench_data NAME FILE
// NAME: large (100 populations of 50, 50 loci), typical, snp (20 populations of 100,
// 1000 biallelic loci), snp10k (the same with 10,000 loci), ind200 / ind400 (20 populations of 200
// / 400 individuals, 50 loci), loci200 / loci400 (the large data with 200 / 400 loci), pops8k /
// pops16k / pops32k (8192 / 16384 / 32768 populations of 4, 10 loci).
#include <cstdio>
#include <iostream>
#include <map>
#include <string>

#include "bench_data.h"

namespace {

using genosieve::bench::BenchDataOptions;

BenchDataOptions Options(const std::string& name, bool& known) {
  BenchDataOptions options = genosieve::bench::LargeOptions();
  known = true;
  if (name == "large") return options;
  if (name == "typical") return genosieve::bench::TypicalOptions();
  if (name == "snp") return genosieve::bench::SnpOptions();
  if (name == "snp10k") return genosieve::bench::Snp10kOptions();
  if (name == "ind200" || name == "ind400") {
    options.populations = 20;
    options.individualsPerPopulation = name == "ind200" ? 200 : 400;
    return options;
  }
  if (name == "loci200" || name == "loci400") {
    options.loci = name == "loci200" ? 200 : 400;
    return options;
  }
  const std::map<std::string, int32_t> populations = {
      {"pops8k", 8192}, {"pops16k", 16384}, {"pops32k", 32768}};
  if (populations.count(name) != 0)
    return genosieve::bench::SmallPopulationsOptions(populations.at(name));
  known = false;
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: write_bench_data NAME FILE\n";
    return 2;
  }
  bool known = false;
  const BenchDataOptions options = Options(argv[1], known);
  if (!known) {
    std::cerr << "write_bench_data: unknown data set '" << argv[1] << "'\n";
    return 2;
  }
  const genosieve::DataFile data = genosieve::bench::MakeBenchData(options);
  return genosieve::bench::WriteBenchDataFile(argv[2], data) ? 0 : 1;
}

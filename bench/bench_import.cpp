// The readers of other programs' layouts on the large benchmark data set (5000
// individuals, 50 loci) written in each layout, beside the native reader on the same
// data in the native layout.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "bench_data.h"
#include "data/data_file_reader.h"
#include "data/format_detection.h"
#include "data/fstat_reader.h"
#include "data/genalex_reader.h"
#include "data/genepop_reader.h"
#include "data/native_export.h"

namespace {

using genosieve::DataFile;

// Appended piece by piece: chains of "literal" + std::string trip a GCC 12 -Wrestrict
// false positive.
void AppendAllele(std::string& text, int32_t allele) {
  const std::string digits = std::to_string(allele);
  text.append(3 - digits.size(), '0');
  text += digits;
}

std::string GenepopText(const DataFile& data, const genosieve::PopulationIndex& index) {
  std::string text = "Benchmark data\n";
  for (const std::string& name : data.locusNames) {
    text += name;
    text += '\n';
  }
  for (size_t k = 1; k < index.size(); ++k) {
    text += "Pop\n";
    for (int32_t row = index[k - 1]; row < index[k]; ++row) {
      text += "ind";
      text += std::to_string(row);
      text += " ,";
      for (int32_t locus = 0; locus < data.table.loci; ++locus) {
        const genosieve::AllelePair& pair = data.table.at(row, locus);
        text += ' ';
        AppendAllele(text, pair.first);
        AppendAllele(text, pair.second);
      }
      text += '\n';
    }
  }
  return text;
}

std::string GenalexText(const DataFile& data, const genosieve::PopulationIndex& index) {
  const size_t populations = index.size() - 1;
  std::string text = std::to_string(data.table.loci);
  for (const size_t count : {static_cast<size_t>(data.table.rows()), populations}) {
    text += ';';
    text += std::to_string(count);
  }
  for (size_t k = 1; k <= populations; ++k) {
    text += ';';
    text += std::to_string(index[k] - index[k - 1]);
  }
  text += "\r\nBenchmark data;;";
  for (size_t k = 1; k <= populations; ++k) {
    text += ";P";
    text += std::to_string(k);
  }
  text += "\r\nSample;Pop";
  for (const std::string& name : data.locusNames) {
    text += ';';
    text += name;
    text += ';';
  }
  text += "\r\n";
  for (size_t k = 1; k <= populations; ++k) {
    for (int32_t row = index[k - 1]; row < index[k]; ++row) {
      text += "ind";
      text += std::to_string(row);
      text += ";P";
      text += std::to_string(k);
      for (int32_t locus = 0; locus < data.table.loci; ++locus) {
        const genosieve::AllelePair& pair = data.table.at(row, locus);
        text += ';';
        text += std::to_string(pair.first);
        text += ';';
        text += std::to_string(pair.second);
      }
      text += "\r\n";
    }
  }
  return text;
}

// The native text with blanks in place of TABs: what the FSTAT reader takes.
std::string FstatText(const std::string& native) {
  std::string text = native;
  for (char& c : text) {
    if (c == '\t') c = ' ';
  }
  return text;
}

struct Texts {
  std::string native;
  std::string genepop;
  std::string genalex;
  std::string fstat;
};

const Texts& LargeTexts() {
  static const Texts texts = [] {
    const DataFile data = genosieve::bench::LargeBenchData();
    const genosieve::PopulationIndex index = genosieve::bench::MakeBenchPopulationIndex(data);
    Texts t;
    t.native = genosieve::NativeDataText(data, index);
    t.genepop = GenepopText(data, index);
    t.genalex = GenalexText(data, index);
    t.fstat = FstatText(t.native);
    return t;
  }();
  return texts;
}

void BM_ReadGenepop(benchmark::State& state) {
  const std::string& text = LargeTexts().genepop;
  for (auto _ : state) {
    std::vector<std::string> notices;
    benchmark::DoNotOptimize(genosieve::ReadGenepop(text, "bench.gen", notices));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReadGenepop)->Unit(benchmark::kMillisecond);

void BM_ReadGenalex(benchmark::State& state) {
  const std::string& text = LargeTexts().genalex;
  for (auto _ : state) {
    std::vector<std::string> notices;
    benchmark::DoNotOptimize(genosieve::ReadGenalex(text, "bench.csv", notices));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReadGenalex)->Unit(benchmark::kMillisecond);

void BM_ReadFstat(benchmark::State& state) {
  const std::string& text = LargeTexts().fstat;
  for (auto _ : state) {
    std::vector<std::string> notices;
    benchmark::DoNotOptimize(genosieve::ReadFstat(text, "bench.dat", notices));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReadFstat)->Unit(benchmark::kMillisecond);

// What the automatic choice adds before a native file goes to the native reader.
void BM_DetectNativeFormat(benchmark::State& state) {
  const std::string& text = LargeTexts().native;
  for (auto _ : state) benchmark::DoNotOptimize(genosieve::DetectFormat(text, "bench.txt"));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_DetectNativeFormat)->Unit(benchmark::kMillisecond);

void BM_ReadNativeFile(benchmark::State& state) {
  const std::string& text = LargeTexts().native;
  std::string path = "genosieve-bench-";
  path += std::to_string(::getpid());
  path += ".txt";
  std::ofstream(path, std::ios::binary) << text;
  for (auto _ : state) benchmark::DoNotOptimize(genosieve::ReadDataFile(path));
  std::remove(path.c_str());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReadNativeFile)->Unit(benchmark::kMillisecond);

}  // namespace

// Reading the literal files of tests/data/import/: each data set in another program's
// layout has a native twin holding the same genotypes.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/data_file_reader.h"
#include "data/data_import.h"
#include "errors.h"
#include "support/test_files.h"

namespace genosieve::testing {

inline std::string ImportPath(const std::string& name) {
  return TestDataPath("import/" + name).string();
}

// What importing a file gave: the data, or the error's message; the notices either way.
struct Imported {
  DataFile data;
  std::vector<std::string> notices;
  std::string error;
};

inline Imported Import(const std::string& path, DataFormat format = DataFormat::kAuto) {
  Imported imported;
  try {
    imported.data = ImportDataFile(
        path, format, [&imported](const std::string& text) { imported.notices.push_back(text); });
  } catch (const RunError& error) {
    imported.error = error.what();
  }
  return imported;
}

// The error a file gives (empty when it reads), with `path` shown as "<path>".
inline std::string ImportError(const std::string& name, DataFormat format = DataFormat::kAuto) {
  const std::string path = ImportPath(name);
  std::string error = Import(path, format).error;
  for (size_t at = error.find(path); at != std::string::npos; at = error.find(path)) {
    error.replace(at, path.size(), "<path>");
  }
  return error;
}

// The same header numbers, locus names, genotype table and population index as the twin.
inline void ExpectSameAsTwin(const DataFile& data, const std::string& twinName) {
  const DataFile twin = ReadDataFile(ImportPath(twinName));
  EXPECT_EQ(data.header.populations, twin.header.populations);
  EXPECT_EQ(data.header.loci, twin.header.loci);
  EXPECT_EQ(data.header.highestAllele, twin.header.highestAllele);
  EXPECT_EQ(data.header.codeWidth, twin.header.codeWidth);
  EXPECT_EQ(data.locusNames, twin.locusNames);
  EXPECT_EQ(data.table.loci, twin.table.loci);
  EXPECT_EQ(data.table.population, twin.table.population);
  EXPECT_EQ(data.table.cells, twin.table.cells);
  EXPECT_EQ(BuildPopulationIndex(data), BuildPopulationIndex(twin));
  EXPECT_EQ(data.identifiers.size(), data.table.population.size());
}

}  // namespace genosieve::testing

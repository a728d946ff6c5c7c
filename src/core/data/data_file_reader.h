#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/genotype_table.h"

namespace genosieve {

// Reads the user's genotype data file (two passes, character by character). Fails with
// a RunError: the French I/O and conversion messages, or an English message naming the
// file, line and field for data the later phases cannot handle. `notices` receives the
// line that says the locus names were read as Windows-1252, when they were.
DataFile ReadDataFile(const std::string& path, std::vector<std::string>& notices);
DataFile ReadDataFile(const std::string& path);

// The same reading of `text`, the content of the file at `path` already in memory; a large
// file's individuals on up to `threads` threads, with the same table and the same first error.
DataFile ReadDataText(std::string_view text, const std::string& path,
                      std::vector<std::string>& notices, int threads = 1);

// Row boundaries of the populations, found from changes of the population number.
// Fails with a RunError when the data hold fewer runs of population numbers than P.
PopulationIndex BuildPopulationIndex(const DataFile& data);

}  // namespace genosieve

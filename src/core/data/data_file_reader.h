#pragma once

#include <string>

#include "data/genotype_table.h"

namespace genosieve {

// Reads the user's genotype data file (two passes, character by character). Fails with
// a RunError: the French I/O and conversion messages, or an English message naming the
// file, line and field for data the later phases cannot handle.
DataFile ReadDataFile(const std::string& path);

// Row boundaries of the populations, found from changes of the population number.
// Fails with a RunError when the data hold fewer runs of population numbers than P.
PopulationIndex BuildPopulationIndex(const DataFile& data);

}  // namespace genosieve

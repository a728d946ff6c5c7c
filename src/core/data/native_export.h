#pragma once

#include <string>

#include "data/data_format.h"
#include "data/data_import.h"
#include "data/genotype_table.h"
#include "io/working_folder.h"

namespace genosieve {

// The data in the native layout, CR LF line ends: the header "P L A D" with the data's
// own numbers (its D always holds A), the locus names, then one line per individual:
// its population's position k, TAB, and per locus the two alleles written with D digits
// each, followed by a TAB. Read back by the native reader, it gives the same genotype
// table, population index and header numbers, hence the same Run.
std::string NativeDataText(const DataFile& data, const PopulationIndex& index);

// Reads the data file at `inputPath` as a Run would (`notice` as for ImportDataFile)
// and writes it in the native layout as the file `outputName` of the working folder, as
// the Run writes its outputs (io/output_file.h): completely or not at all, a link under
// the name replaced rather than followed. Refuses, before reading, an output that is the
// input file itself (links followed) or that cannot be written. Fails with a RunError.
void ExportNativeDataFile(const WorkingFolder& folder, const std::string& outputName,
                          const std::string& inputPath, DataFormat format,
                          const NoticeSink& notice);

}  // namespace genosieve

#pragma once

#include <string>
#include <string_view>

#include "data/data_format.h"
#include "data/data_import.h"
#include "data/genotype_table.h"
#include "io/stop_check.h"
#include "io/working_folder.h"

namespace genosieve {

// The data in the native layout, CR LF line ends: the header "P L A D" with the data's
// own numbers (its D always holds A), the locus names, then one line per individual:
// its population's position k, TAB, and per locus the two alleles written with D digits
// each, followed by a TAB. Read back by the native reader, it gives the same genotype
// table, population index and header numbers, hence the same Run.
std::string NativeDataText(const DataFile& data, const PopulationIndex& index);

// The name that sends the data to the standard output instead of a file.
inline constexpr std::string_view kStandardOutputName = "-";

// Reads the data file at `inputPath` as a Run would (`notice` as for ImportDataFile)
// and writes it in the native layout as the file `outputName` of the working folder
// (which may reach outside it), as the Run writes its outputs (io/output_file.h):
// completely or not at all. The output's folder is locked as a Run's working folder is.
// Refuses, before reading, an output that is the input file itself (links followed),
// that cannot be written, or whose name is taken by anything but a regular file (a link
// too: outside the working folder it may be the system's own). "-" writes to the
// standard output. `stop` is asked while the file is read and written: a stop ends the
// export with RunStopped, the previous file of the name left as it was. Fails with a
// RunError.
void ExportNativeDataFile(const WorkingFolder& folder, const std::string& outputName,
                          const std::string& inputPath, DataFormat format, const NoticeSink& notice,
                          const StopCheck& stop = {});

}  // namespace genosieve

#pragma once

#include <functional>
#include <string>

#include "data/data_format.h"
#include "data/genotype_table.h"

namespace genosieve {

// Receives the lines of information a reading gives besides the data.
using NoticeSink = std::function<void(const std::string& text)>;

// Reads the data file at `path` in `format`, or, with DataFormat::kAuto, in the layout
// DetectFormat recognises. A native file goes to the native reader unchanged; for the
// other layouts `notice` receives first a line saying what was read (format and header
// numbers), then the reader's warnings. When a file recognised as native is refused by
// the native reader but reads as FSTAT, `notice` says so before the native reader's
// error is thrown. Fails with a RunError.
DataFile ImportDataFile(const std::string& path, DataFormat format, const NoticeSink& notice);

}  // namespace genosieve

#pragma once

#include <functional>
#include <string>

#include "data/data_format.h"
#include "data/genotype_table.h"

namespace genosieve {

// Receives the lines of information a reading gives besides the data.
using NoticeSink = std::function<void(const std::string& text)>;

// Reads the data file at `path` in `format`, or, with DataFormat::kAuto, in the layout
// its content shows (DetectLayouts). `notice` receives, for the layouts of other
// programs, first a line saying what was read (format and header numbers), then the
// reader's warnings (and for any layout the line saying that names were read as
// Windows-1252). Fails with a RunError; a refusal says, when another reader reads the
// file, the --format value that picks it.
//
// With kAuto every reader whose layout the file might be in has its say: the file is
// read when one of them reads it, or when all that read it give the same populations and
// genotypes (the most likely one's reading is kept); when two give different ones, it
// fails with an AmbiguousLayout naming both. Readers that cannot read the file
// differently from one that has read it are not run. A large native file is read on up to
// `threads` threads.
DataFile ImportDataFile(const std::string& path, DataFormat format, const NoticeSink& notice,
                        int threads = 1);

}  // namespace genosieve

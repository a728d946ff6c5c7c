#pragma once

#include <string>
#include <string_view>

#include "data/data_format.h"

namespace genosieve {

// The layout of the data file at `path`, whose content is `text`: recognised from the
// content first (a first row of counts separated by commas or semicolons: GenAlEx; a
// line that reads Pop: Genepop; a header of four numbers: native or FSTAT), then from
// the extension (.gen, .csv, .dat or .txt). Among files with a header of four numbers,
// those the native reader would misread are FSTAT: individual lines whose population
// number is followed by a blank rather than a TAB, or populations not listed together.
// Anything else is native, whose reader then says what is wrong.
DataFormat DetectFormat(std::string_view text, const std::string& path);

}  // namespace genosieve

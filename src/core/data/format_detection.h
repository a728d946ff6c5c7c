#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/data_format.h"

namespace genosieve {

// What the content of a data file shows of its layout.
struct LayoutCandidates {
  // The layouts whose marks the file bears, the most likely first: the one DetectFormat
  // gives, then any other that might read the file (native and FSTAT for a header of four
  // numbers, Genepop for a line that reads Pop, GenAlEx for a first row of counts).
  std::vector<DataFormat> formats;
  // Why a file with a header of four numbers goes to the FSTAT reader first: an individual
  // line whose population number a blank follows (which the native reader always
  // refuses), or more runs of population numbers than P (which the native reader reads
  // too, keeping every later run in population P).
  bool blankAfterPopulation = false;
  bool moreRunsThanP = false;
};

// The layouts of the data file at `path`, whose content is `text`: recognised from the
// content first (a first row of counts separated by commas or semicolons: GenAlEx; a
// line that reads Pop: Genepop; a header of four numbers: native or FSTAT; a first row of
// counts separated by TABs: GenAlEx), then from the extension (.gen, .csv, .dat or .txt).
// Among files with a header of four numbers, those the native reader would misread are
// FSTAT, and those whose header the native reader refuses are GenAlEx when their first
// line holds TABs. Anything else is native, whose reader then says what is wrong.
LayoutCandidates DetectLayouts(std::string_view text, const std::string& path);

// The most likely layout: DetectLayouts(text, path).formats.front().
DataFormat DetectFormat(std::string_view text, const std::string& path);

// Whether a file with a header of four numbers writes a genotype with fewer than 2 x D
// digits (leading zeros left out, 0 for missing): what FSTAT files do and native files
// never do.
bool HasShortGenotypes(std::string_view text);

}  // namespace genosieve

#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/genotype_table.h"

namespace genosieve {

// A line that starts a population: the word Pop, in any case, with blanks or TABs around it.
bool IsGenepopPopLine(std::string_view line);

// Reads a Genepop file held in memory (`text`, the content of the file at `path`): a title
// line, the locus names (one per line or separated by commas), then each population after
// a Pop line, one individual per line as identifier, comma, one genotype of 4 or 6 digits
// per locus (a line may wrap between genotypes). Populations are numbered in file order
// and named after their last individual; A is the highest allele present and D the code
// width (2 or 3). Warnings go to `notices`; a file that cannot be read fails with a
// RunError naming the line and locus.
DataFile ReadGenepop(std::string_view text, const std::string& path,
                     std::vector<std::string>& notices);

}  // namespace genosieve

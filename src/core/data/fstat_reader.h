#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/genotype_table.h"

namespace genosieve {

// Reads an FSTAT data file held in memory (`text`, the content of the file at `path`)
// in the forms the native reader does not take: the header P L A D (D from 1 to 3), L
// locus-name lines, then one individual per line as population number and L genotypes
// separated by blanks or TABs, each genotype a number whose last D digits are the second
// allele (leading zeros may be left out, 0 is missing). Individuals whose populations
// are not listed together are grouped by population number, populations in order of
// first appearance, and `notices` says so. The header numbers are kept as read;
// identifiers are line numbers. Fails with a RunError naming the line and locus.
DataFile ReadFstat(std::string_view text, const std::string& path,
                   std::vector<std::string>& notices);

}  // namespace genosieve

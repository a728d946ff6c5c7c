#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/genotype_table.h"

namespace genosieve {

// Reads a GenAlEx sheet saved as CSV (`text`, the content of the file at `path`), with
// `,` or `;` between cells and quoted cells: row 1 the numbers of loci, samples and
// populations, then each population's size; row 2 a title, two blank cells and the
// population names; row 3 two titles and each locus's name over its first allele
// column; then one row per sample: its identifier, its population's name and two allele
// columns per locus (0 or an empty cell when missing). Cells after a blank column, empty
// trailing cells and empty rows are ignored. Populations are numbered in the order of
// row 2; A is the highest allele present and D the smallest width that holds it.
// Warnings go to `notices`; a file that cannot be read fails with a RunError naming the
// row and column.
DataFile ReadGenalex(std::string_view text, const std::string& path,
                     std::vector<std::string>& notices);

}  // namespace genosieve

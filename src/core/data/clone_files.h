#pragma once

#include <string>

#include "data/clones.h"
#include "data/genotype_table.h"

namespace genosieve {

// "Clones_" + result name: one line per population with its clone counts.
void WriteCloneReport(const std::string& fileName, const CloneSummary& summary);

// "Withoutrepeats_" + result name: the clone-free table in the intermediate genotype
// file layout, with the data file's header numbers.
void WriteCloneFreeFile(const std::string& fileName, const HeaderNumbers& header,
                        const GenotypeTable& cloneFree);

}  // namespace genosieve

#pragma once

#include <string>
#include <vector>

#include "data/clone_membership.h"
#include "data/clones.h"
#include "data/genotype_table.h"
#include "io/working_folder.h"

namespace genosieve {

// "Clones_" + result name: one line per population with its clone counts.
void WriteCloneReport(const WorkingFolder& folder, const std::string& fileName,
                      const CloneSummary& summary);

// "Clonemembers_" + result name: a TAB-separated UTF-8 table with CR LF line ends and a
// header row; per population, one row per distinct genotype numbered as in
// CloneDetection::genotypeNumber (row k of a population matches the k-th repeat count
// of the clone report): population number, population name (or "pop" + number), genotype
// number, number of copies and the identifiers of the individuals that carry it, in data
// order, separated by ", " (an identifier holding a comma or a double quote, or an empty
// one, stands between double quotes, its double quotes doubled).
void WriteCloneMembers(const WorkingFolder& folder, const std::string& fileName,
                       const DataFile& data, const PopulationIndex& index,
                       const CloneDetection& detection);
// The same from the membership already made of them.
void WriteCloneMembers(const WorkingFolder& folder, const std::string& fileName,
                       const std::vector<PopulationClones>& membership);

// "Withoutrepeats_" + result name: the clone-free table in the intermediate genotype
// file layout, with the data file's header numbers.
void WriteCloneFreeFile(const WorkingFolder& folder, const std::string& fileName,
                        const HeaderNumbers& header, const GenotypeTable& cloneFree);

}  // namespace genosieve

#include "data/clone_files.h"

#include <cstdint>
#include <string>
#include <vector>

#include "data/genotype_file_writer.h"
#include "errors.h"
#include "io/output_file.h"

namespace genosieve {

namespace {

// An identifier as one item of the list of clone-mates.
void AppendListItem(std::string& text, const std::string& identifier) {
  if (!identifier.empty() && identifier.find_first_of(",\"") == std::string::npos) {
    text += identifier;
    return;
  }
  text += '"';
  for (const char c : identifier) {
    if (c == '"') text += '"';
    text += c;
  }
  text += '"';
}

}  // namespace

void WriteCloneMembers(const WorkingFolder& folder, const std::string& fileName,
                       const DataFile& data, const PopulationIndex& index,
                       const CloneDetection& detection) {
  WriteCloneMembers(folder, fileName, CloneMembership(data, index, detection));
}

void WriteCloneMembers(const WorkingFolder& folder, const std::string& fileName,
                       const std::vector<PopulationClones>& membership) {
  std::string text = "population\tname\tgenotype\tcopies\tindividuals\r\n";
  for (const PopulationClones& population : membership) {
    const std::string number = std::to_string(population.population);
    for (const GenotypeCarriers& genotype : population.genotypes) {
      text += number + '\t' + population.name + '\t' + std::to_string(genotype.genotype) + '\t' +
              std::to_string(genotype.individuals.size()) + '\t';
      for (size_t i = 0; i < genotype.individuals.size(); ++i) {
        if (i > 0) text += ", ";
        AppendListItem(text, genotype.individuals[i]);
      }
      text += "\r\n";
    }
  }
  WriteWholeFile(folder, fileName, text);
}

void WriteCloneReport(const WorkingFolder& folder, const std::string& fileName,
                      const CloneSummary& summary) {
  const size_t populations = summary.size.size();
  if (summary.ndGenotypes.size() != populations || summary.nbClones.size() != populations ||
      summary.extraCopies.size() != populations) {
    ThrowInternalError("the clone summary is incomplete");
  }
  std::string text = "\tPopulation Size\t\tNDGenotypes\tNbClones\tRepeats/clone\r\n";
  for (size_t p = 0; p < populations; ++p) {
    text += "pop" + std::to_string(p + 1);
    text += "\t\t" + std::to_string(summary.size[p]);
    text += "\t\t" + std::to_string(summary.ndGenotypes[p]);
    text += "\t\t" + std::to_string(summary.nbClones[p]);
    text += "\t\t";
    for (const int32_t extra : summary.extraCopies[p]) {
      text += std::to_string(extra + 1);
      text += '\t';
    }
    text += "\r\n";
  }
  WriteWholeFile(folder, fileName, text);
}

void WriteCloneFreeFile(const WorkingFolder& folder, const std::string& fileName,
                        const HeaderNumbers& header, const GenotypeTable& cloneFree) {
  WriteGenotypeFile(folder, fileName,
                    {header.populations, header.loci, header.highestAllele, header.codeWidth},
                    header.loci, cloneFree);
}

}  // namespace genosieve

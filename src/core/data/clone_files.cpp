#include "data/clone_files.h"

#include <cstdint>
#include <string>
#include <vector>

#include "data/genotype_file_writer.h"
#include "errors.h"
#include "io/output_file.h"
#include "messages.h"

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
  const auto rows = static_cast<size_t>(data.table.rows());
  if (detection.genotypeNumber.size() != rows || data.identifiers.size() != rows ||
      index.size() < 2 || index.back() != data.table.rows()) {
    ThrowInternalError("the clone detection does not match the data");
  }
  std::string text = "population\tname\tgenotype\tcopies\tindividuals\r\n";
  std::vector<std::vector<size_t>> carriers;
  for (size_t k = 1; k < index.size(); ++k) {
    const std::string number = std::to_string(k);
    const std::string name = PopulationName(data, k);
    carriers.clear();
    for (auto row = static_cast<size_t>(index[k - 1]); row < static_cast<size_t>(index[k]); ++row) {
      const auto genotype = static_cast<size_t>(detection.genotypeNumber[row]);
      if (genotype < 1 || genotype > rows) {
        ThrowInternalError(FillMessage("row {} has no genotype number", row));
      }
      if (genotype > carriers.size()) carriers.resize(genotype);
      carriers[genotype - 1].push_back(row);
    }
    for (size_t g = 0; g < carriers.size(); ++g) {
      text += number + '\t' + name + '\t' + std::to_string(g + 1) + '\t' +
              std::to_string(carriers[g].size()) + '\t';
      for (size_t i = 0; i < carriers[g].size(); ++i) {
        if (i > 0) text += ", ";
        AppendListItem(text, data.identifiers[carriers[g][i]]);
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

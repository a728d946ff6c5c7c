#include "data/clone_files.h"

#include <cstdint>
#include <string>

#include "data/genotype_file_writer.h"
#include "errors.h"
#include "io/output_file.h"

namespace genosieve {

void WriteCloneReport(const std::string& fileName, const CloneSummary& summary) {
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
  OutputFile out = CreateOutputFile(fileName);
  PutText(out, text);
  CommitOutputFile(out);
}

void WriteCloneFreeFile(const std::string& fileName, const HeaderNumbers& header,
                        const GenotypeTable& cloneFree) {
  WriteGenotypeFile(fileName,
                    {header.populations, header.loci, header.highestAllele, header.codeWidth},
                    header.loci, cloneFree);
}

}  // namespace genosieve

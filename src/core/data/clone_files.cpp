#include "data/clone_files.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/genotype_file.h"
#include "errors.h"

namespace genosieve {

namespace {

// Some stdio failures leave errno at 0; they still are I/O errors.
[[noreturn]] void ThrowLastIoError() { ThrowIoErrorFromErrno(errno != 0 ? errno : EIO); }

// Writes `bytes` as the whole content of `fileName`, checking the creation, the write
// and the close (where buffered data reach the disk).
void WriteWholeFile(const std::string& fileName, const std::string& bytes) {
  errno = 0;
  std::FILE* file = std::fopen(fileName.c_str(), "wb");
  if (file == nullptr) ThrowLastIoError();
  errno = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
    const int err = errno;
    std::fclose(file);
    ThrowIoErrorFromErrno(err != 0 ? err : EIO);
  }
  errno = 0;
  if (std::fclose(file) != 0) ThrowLastIoError();
}

}  // namespace

void WriteCloneReport(const std::string& fileName, const CloneSummary& summary) {
  const size_t populations = summary.size.size();
  if (summary.ndGenotypes.size() != populations || summary.nbClones.size() != populations ||
      summary.extraCopies.size() != populations) {
    throw RunError("Clone report: the clone summary is incomplete.");
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
  WriteWholeFile(fileName, text);
}

void WriteCloneFreeFile(const std::string& fileName, const HeaderNumbers& header,
                        const GenotypeTable& cloneFree) {
  WriteGenotypeFile(fileName,
                    {header.populations, header.loci, header.highestAllele, header.codeWidth},
                    header.loci, cloneFree);
}

}  // namespace genosieve

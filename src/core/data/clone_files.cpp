#include "data/clone_files.h"

namespace genosieve {

void WriteCloneReport(const std::string& fileName, const CloneSummary& summary) {
  (void)fileName;
  (void)summary;
}

void WriteCloneFreeFile(const std::string& fileName, const HeaderNumbers& header,
                        const GenotypeTable& cloneFree) {
  (void)fileName;
  (void)header;
  (void)cloneFree;
}

}  // namespace genosieve

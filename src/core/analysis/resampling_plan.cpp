#include "analysis/resampling_plan.h"

#include <string_view>

#include "errors.h"
#include "messages.h"

namespace genosieve {

namespace {

size_t Size(int32_t value) { return static_cast<size_t>(value); }

[[noreturn]] void ThrowInconsistent(size_t population, std::string_view what) {
  ThrowInternalError(
      FillMessage("the clone summary of population {} does not match its individuals ({})",
                  population + 1, what));
}

}  // namespace

ResamplingPlan MakeResamplingPlan(const DataFile& data, const PopulationIndex& index,
                                  const CloneDetection& clones, const CloneSummary& summary) {
  const HeaderNumbers& header = data.header;
  const size_t populations = Size(header.populations);
  if (header.populations < 1 || index.size() != populations + 1 || index.front() != 0 ||
      index.back() != data.table.rows() || summary.ndGenotypes.size() != populations ||
      summary.nbClones.size() != populations || summary.extraCopies.size() != populations ||
      summary.distinctOffset.size() != populations + 1 || data.table.loci != header.loci ||
      clones.cloneFree.loci != header.loci) {
    ThrowInternalError("the clone summary does not match the data file");
  }
  ResamplingPlan plan;
  plan.header = header;
  plan.drawsBefore.push_back(0);
  int32_t nextDistinct = 0;
  for (size_t p = 0; p < populations; ++p) {
    const int32_t size = index[p + 1] - index[p];
    const int32_t distinct = summary.ndGenotypes[p];
    const int32_t clonal = summary.nbClones[p];
    if (size < 1) ThrowInconsistent(p, "no individual");
    if (distinct < 1 || clonal < 0 || clonal > distinct ||
        summary.extraCopies[p].size() < Size(clonal)) {
      ThrowInconsistent(p, "clonal genotypes");
    }
    std::vector<int32_t> extra(summary.extraCopies[p].begin(),
                               summary.extraCopies[p].begin() + clonal);
    int64_t total = distinct;
    for (int32_t e : extra) {
      if (e < 1) ThrowInconsistent(p, "extra copies");
      total += e;
    }
    if (total != size) ThrowInconsistent(p, "population size");
    if (summary.distinctOffset[p] != nextDistinct ||
        summary.distinctOffset[p + 1] - summary.distinctOffset[p] != distinct) {
      ThrowInconsistent(p, "distinct offsets");
    }
    nextDistinct += distinct;
    plan.size.push_back(size);
    plan.distinct.push_back(distinct);
    plan.clonal.push_back(clonal);
    plan.extraCopies.push_back(std::move(extra));
    plan.firstRow.push_back(index[p]);
    plan.firstDistinct.push_back(summary.distinctOffset[p]);
    plan.drawsBefore.push_back(plan.drawsBefore.back() + static_cast<uint64_t>(distinct));
  }
  if (clones.cloneFree.rows() < nextDistinct) {
    ThrowInternalError("the clone-free table holds fewer rows than the distinct genotypes");
  }
  return plan;
}

}  // namespace genosieve

#pragma once

#include "engine/genotype_file.h"
#include "engine/test_tally.h"
#include "extended.h"

namespace genosieve {

// Counting and Weir & Cockerham estimate of one loaded genotype table (populations
// 1..P): returns FisOverall. A floating-point error (0/0, x/0, overflow) throws a
// RunError with its French message.
Extended EvaluateFis(const EngineInput& input);

// One engine evaluation: sets observedFlag when observed, loads "tempmicrosat.txt" or
// "temp.txt" from the working folder, estimates Fis and updates the tally. On failure
// the tally keeps what it held.
void RunEvaluation(bool observed, TestState& state);

}  // namespace genosieve

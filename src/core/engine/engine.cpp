#include "engine/engine.h"

namespace genosieve {

Extended EvaluateFis(const EngineInput& input) {
  (void)input;
  return 0.0L;
}

void RunEvaluation(bool observed, TestState& state) {
  if (observed) state.observedFlag = true;
  UpdateTally(state, EvaluateFis(LoadGenotypeFile(state.observedFlag)));
}

}  // namespace genosieve

#include "analysis/randomization_tests.h"

namespace genosieve {

void RunOverallTest(const TestInputs& inputs, TestState& state, RunView& view) {
  (void)inputs;
  (void)state;
  (void)view;
}

void RunPerLocusAnalysis(const TestInputs& inputs, TestState& state, RunView& view) {
  (void)inputs;
  (void)state;
  (void)view;
}

void RunPerPopulationAnalysis(const TestInputs& inputs, TestState& state, RunView& view) {
  (void)inputs;
  (void)state;
  (void)view;
}

}  // namespace genosieve

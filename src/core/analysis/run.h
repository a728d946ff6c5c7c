#pragma once

#include <cstdint>
#include <string>

#include "analysis/run_settings.h"
#include "analysis/run_view.h"

namespace genosieve {

// The whole analysis behind Run: reads the data file, finds clones, writes the clone
// files, runs the randomization tests and writes the results, all in the settings'
// working folder, which no other Run may use meanwhile, then shows "done ! ". Any failure
// throws a RunError; a stop asked through the view throws RunStopped.
void Run(const RunSettings& settings, RunView& view);

// The iterations text as the Run converts it; a negative count is refused.
int32_t ConvertIterations(const std::string& iterationsText);

}  // namespace genosieve

#pragma once

#include "io/working_folder.h"

namespace genosieve::testing {

// The current working folder (a ScopedWorkingFolder in most tests), opened as a Run
// opens its own: the folder given to the writers and loaders a test calls directly.
inline WorkingFolder CurrentFolder() { return OpenWorkingFolder("."); }

}  // namespace genosieve::testing

#pragma once

// Finds and opens genosieve-cli's figures module, for --figures only.

#include <string>

#include "figures_module.h"

namespace genosieve {

struct OpenedFiguresModule {
  const FiguresModule* module = nullptr;  // nullptr when it cannot be used
  std::string error;                      // then: one line naming the module's path and why
};

// The module is looked for next to the running program (the build tree), then in the
// installed layout, <prefix>/<libdir>/genosieve/, found from the program's own place.
// Never in the current folder or on the library search path: the working folder holds the
// user's data, and no code is loaded from there. It stays open until the program ends.
OpenedFiguresModule OpenFiguresModule();

}  // namespace genosieve

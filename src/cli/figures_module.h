#pragma once

// What genosieve-cli and its figures module (genosieve-cli-figures.so) share. The module
// draws with Qt; genosieve-cli opens it only for --figures, so that a Run without figures
// maps no Qt library. Both come from the same build, so the interface is plain C++; the
// version numbers keep a module of another build from being used.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "analysis/clonality.h"
#include "analysis/run_view.h"
#include "analysis/test_outcome.h"

namespace genosieve {

// Raised whenever a member of FiguresModule, or what one does, changes.
inline constexpr uint32_t kFiguresModuleVersion = 3;
inline constexpr char kFiguresModuleFile[] = "genosieve-cli-figures.so";
inline constexpr char kFiguresModuleEntry[] = "genosieve_cli_figures";

// The module's own state for one Run: Qt's application and the figures' data.
struct FiguresSession;

struct FiguresModule {
  uint32_t version;            // kFiguresModuleVersion; read before anything else
  const char* programVersion;  // the GENOSIEVE version the module was built with
  // Starts Qt off screen with its notices quiet (its errors still go to stderr). Qt sets
  // the process locale as it starts, so this comes before the regional settings are read.
  FiguresSession* (*start)();
  // A finished test; the overall test's randomized values are kept, others' reduced.
  void (*add)(FiguresSession& session, const TestOutcome& outcome);
  // The figure files of the tests added so far, named after the result name. Once
  // `stopRequested` answers true (it is asked before each file is drawn), the files drawn
  // until then, each complete.
  std::vector<ViewFile> (*files)(FiguresSession& session, const std::string& resultName,
                                 const std::function<bool()>& stopRequested);
  // Ends Qt's application.
  void (*end)(FiguresSession* session);
  // The clone sizes of the Run's populations, for the Pareto plot.
  void (*addClonality)(FiguresSession& session, const ClonalityResults& results);
};

using FiguresModuleEntry = const FiguresModule* (*)();

}  // namespace genosieve

// The module's one exported symbol, named by kFiguresModuleEntry.
extern "C" const genosieve::FiguresModule* genosieve_cli_figures();

// A figures module as another build would make it: another version of the interface
// (OTHER_INTERFACE) or of GENOSIEVE. genosieve-cli must refuse it before using any of
// its functions, which therefore draw nothing.

#include "figures_module.h"

namespace {

genosieve::FiguresSession* Start() { return nullptr; }
void Add(genosieve::FiguresSession&, const genosieve::TestOutcome&) {}
std::vector<genosieve::ViewFile> Files(genosieve::FiguresSession&, const std::string&,
                                       const std::function<bool()>&) {
  return {};
}
void End(genosieve::FiguresSession*) {}
void AddClonality(genosieve::FiguresSession&, const genosieve::ClonalityResults&) {}

#ifdef OTHER_INTERFACE
constexpr genosieve::FiguresModule kModule = {
    genosieve::kFiguresModuleVersion + 1, GENOSIEVE_VERSION, Start, Add, Files, End, AddClonality};
#else
constexpr genosieve::FiguresModule kModule = {genosieve::kFiguresModuleVersion,
                                              GENOSIEVE_VERSION "-other",
                                              Start,
                                              Add,
                                              Files,
                                              End,
                                              AddClonality};
#endif

}  // namespace

extern "C" const genosieve::FiguresModule* genosieve_cli_figures() { return &kModule; }

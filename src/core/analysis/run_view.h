#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "analysis/clonality.h"
#include "analysis/randomization_kind.h"
#include "analysis/test_outcome.h"
#include "data/clone_membership.h"
#include "errors.h"

namespace genosieve {

// A file a view made of a Run's results, for the Run to write with its other outputs.
struct ViewFile {
  std::string name;  // relative to the working folder
  std::string bytes;
};

// One point of a test's running P-value: after `iteration` iterations (1-based).
struct RunningPValuePoint {
  int32_t iteration;
  double pValue;
};

// How a Run reports to its user; the window and the command line implement it.
struct RunView {
  virtual ~RunView() = default;
  // How many randomization tests the Run will make (the overall test, then one per locus
  // and one per population when those analyses are on) and the iterations of each; told
  // once the data is read, before the first test starts. A view that shows the progress
  // of the whole Run overrides this.
  virtual void RunPlanned(int32_t /*tests*/, int32_t /*iterations*/) {}
  // A randomization test begins: its kind, its number among the tests of that kind
  // (1-based) and how many of them the Run makes, and its subject's name ("overall",
  // the locus name from the data file, or the population's name). A view that labels its progress
  // overrides this.
  virtual void TestStarted(RandomizationKind /*kind*/, int32_t /*index*/, int32_t /*count*/,
                           const std::string& /*name*/) {}
  // The seed of every randomization test of the Run: the one given, or the clock read
  // once before the first test; a Run given it as its seed writes the same files. Told
  // once, before the first test starts.
  virtual void SeedChosen(uint32_t /*seed*/) {}
  virtual void SetProgressRange(int minimum, int maximum) = 0;
  virtual void SetProgressPosition(int position) = 0;
  virtual void ClearChart() = 0;
  virtual void AddChartPoint(double value) = 0;
  // The overall test hands its running P-values in one batch; a view that can add many
  // points at once overrides this.
  virtual void AddChartPoints(const std::vector<double>& values) {
    for (double value : values) AddChartPoint(value);
  }
  virtual void ShowChartSeries() = 0;
  // The overall test's running P-value while it runs, from the Run's own thread: the
  // points of the iterations just folded, in iteration order, at most a few thousand in
  // all (every step-th iteration and the last; analysis/randomization_tests.h). The chart
  // calls above still follow once the test has ended. A view that draws the test as it
  // goes overrides this.
  virtual void RunningPValues(RandomizationKind /*kind*/, int32_t /*index*/,
                              const std::vector<RunningPValuePoint>& /*points*/) {}
  virtual void ShowMessage(const std::string& text) = 0;
  // A randomization test has ended and its section of the results file is written; a
  // view that shows or keeps results overrides this.
  virtual void TestFinished(const TestOutcome& /*outcome*/) {}
  // The carriers of every distinct genotype of each population, once the clone report
  // and the clone members file are written (before the first test); a view that shows
  // the clones overrides this.
  virtual void ClonesFound(const std::vector<PopulationClones>& /*membership*/) {}
  // The clonal richness and diversity of each population and the psex of each repeated
  // genotype, once their tables ("Clonality_" and "Psex_" + stem + ".tsv") are written,
  // before the first test; a view that shows them overrides this.
  virtual void ClonalityFound(const ClonalityResults& /*results*/) {}
  // A line of information that is not an error, such as the layout the data file was
  // read in or a warning about its content; the Run goes on.
  virtual void ShowNotice(const std::string& /*text*/) {}
  // Whether the user asked the Run to stop. Polled at the start of every iteration of
  // every test and between tests, so it must be cheap.
  virtual bool StopRequested() { return false; }
  // When the settings ask for figures (RunSettings::drawFigures): the figure files the
  // view drew from the finished tests, each named as FigureFileNames
  // (analysis/outcome_files.h) lists it. Asked once, while the Run still holds its
  // working folder: after the last test, or when the Run was stopped or failed, for the
  // tests that finished; the Run writes them as its other files. A view that draws for
  // long asks `stopRequested` between its files and, once it answers true, returns the
  // files drawn until then, each complete.
  virtual std::vector<ViewFile> FilesToWrite(const std::function<bool()>& /*stopRequested*/) {
    return {};
  }
};

// Ends the Run with RunStopped when its user asked it to stop: the one check the Run
// makes, in every iteration and between its phases and tests.
inline void StopIfRequested(RunView& view) {
  if (view.StopRequested()) throw RunStopped();
}

}  // namespace genosieve
